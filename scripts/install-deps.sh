#!/bin/sh
# Installs, through apt-get, what building and testing Troveport Explorer needs on Debian 12.
# Packages already present are left alone, so a second run is quick and needs no network.
set -eu

# PostgreSQL: Qt's driver and libpq for the second engine, the server for the tests' throwaway
# cluster (scripts/pg-cluster.sh), util-linux's setpriv to run it as an unprivileged user. tzdata:
# the date tests run again in Europe/Berlin and America/New_York. groff-base: the man page is
# checked for mistakes. librsvg2-bin renders the icon's sizes from its SVG; desktop-file-utils and
# appstream validate the desktop entry and the metainfo of the Debian package (scripts/package.sh).
PACKAGES="build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite \
libqt6sql6-psql libpq-dev postgresql util-linux \
libgl-dev libzip-dev libsqlite3-dev zip unzip libbenchmark-dev sqlite3 xvfb xauth tzdata \
groff-base librsvg2-bin desktop-file-utils appstream"
# The sanitizer and fuzz build: clang with its sanitizer and libFuzzer runtimes, and the symbolizer
# for readable reports; util-linux's flock is used by tests of the site's locking.
if [ "${1:-}" = "--sanitize" ]; then
    PACKAGES="$PACKAGES clang libclang-rt-14-dev llvm util-linux"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
