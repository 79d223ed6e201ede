#!/bin/sh
# Installs what is missing, builds, makes the demonstration library when there is none, and starts
# Troveport Explorer on it. The demonstration keeps its machine settings beside it, so this machine's
# own settings (/etc/troveport/machine.reg) are left alone.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh

demo="${XDG_DATA_HOME:-$HOME/.local/share}/troveport/demo"
export TROVEPORT_MACHINE_REG="$demo/machine.reg"
# The project's test data, when it is beside the project, gives the demonstration real archives.
if [ -z "${TROVEPORT_TESTDATA:-}" ] && [ -d ../shared/testdata ]; then
    TROVEPORT_TESTDATA="$(cd ../shared/testdata && pwd)"
    export TROVEPORT_TESTDATA
fi
if [ ! -s "$demo/db/Filearea.dat" ]; then
    ./build/tools/troveport-setup/troveport-setup --demo "$demo"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start this from a desktop session (or set DISPLAY)." >&2
    exit 1
fi
exec ./build/src/troveport-explorer
