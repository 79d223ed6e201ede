#!/bin/sh
# Installs what is missing, builds, makes the demonstration library when there is none, and starts
# Troveport Explorer on it. The demonstration keeps its machine settings beside it, so this machine's
# own settings (/etc/troveport/machine.reg) are left alone.
#
#   scripts/run-demo.sh                the library's files in an SQLite file
#   scripts/run-demo.sh --postgresql   the library's files on a PostgreSQL server of the
#                                      demonstration's own, started for the explorer and stopped
#                                      when it ends (scripts/pg-cluster.sh)
set -eu
cd "$(dirname "$0")/.."
engine=sqlite
case "${1:-}" in
"") ;;
--postgresql) engine=postgresql ;;
*)
    echo "usage: $0 [--postgresql]" >&2
    exit 2
    ;;
esac
./scripts/build.sh

setup=./build/tools/troveport-setup/troveport-setup
data="${XDG_DATA_HOME:-$HOME/.local/share}/troveport"
# The project's test data, when it is beside the project, gives the demonstration real archives.
if [ -z "${TROVEPORT_TESTDATA:-}" ] && [ -d ../shared/testdata ]; then
    TROVEPORT_TESTDATA="$(cd ../shared/testdata && pwd)"
    export TROVEPORT_TESTDATA
fi
has_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]
}
no_display() {
    echo "No display found: start this from a desktop session (or set DISPLAY)." >&2
    exit 1
}

if [ "$engine" = sqlite ]; then
    demo="$data/demo"
    export TROVEPORT_MACHINE_REG="$demo/machine.reg"
    if [ ! -s "$demo/db/Filearea.dat" ]; then
        "$setup" --demo "$demo"
    fi
    has_display || no_display
    exec ./build/src/troveport-explorer
fi

demo="$data/demo-pg"
export TROVEPORT_MACHINE_REG="$demo/machine.reg"
mkdir -p "$demo"
cluster="$demo/cluster"
# Under root the server runs as "nobody", who cannot enter root's home: the cluster is kept where
# nobody can reach it instead.
if [ "$(id -u)" -eq 0 ] && ! setpriv --reuid=nobody --regid=nogroup --clear-groups -- test -x "$demo"; then
    cluster=/var/lib/troveport/demo-pg-cluster
    mkdir -p /var/lib/troveport
    echo "The demonstration's PostgreSQL cluster is kept in $cluster."
fi
server=$(./scripts/pg-cluster.sh start "$cluster")
eval "$server"
stopped=""
stop_server() {
    if [ -z "$stopped" ]; then
        stopped=yes
        ./scripts/pg-cluster.sh stop "$cluster"
    fi
}
trap stop_server EXIT
trap 'exit 130' INT TERM

uri="${TROVEPORT_TEST_POSTGRES}troveport_demo"
if [ ! -s "$demo/db/Filearea.dat" ]; then
    # A database left behind by a demonstration whose library was removed goes with it.
    PGOPTIONS="-c client_min_messages=warning" psql -q -v ON_ERROR_STOP=1 -d "${TROVEPORT_TEST_POSTGRES}postgres" \
        -c "DROP DATABASE IF EXISTS troveport_demo" -c "CREATE DATABASE troveport_demo"
    "$setup" --demo "$demo" --database-connection "$uri"
elif [ -z "$(psql -tA -d "${TROVEPORT_TEST_POSTGRES}postgres" \
    -c "SELECT 1 FROM pg_database WHERE datname = 'troveport_demo'")" ]; then
    echo "The demonstration's library in $demo has no database in the cluster $cluster;" \
        "remove $demo/db to make the demonstration anew." >&2
    exit 1
else
    # The server listens on another port each time.
    "$setup" database use "$uri" >/dev/null
fi
if ! has_display; then
    stop_server
    no_display
fi
status=0
./build/src/troveport-explorer || status=$?
exit "$status"
