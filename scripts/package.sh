#!/bin/sh
# Builds the Debian package build/troveport-explorer_<version>_<arch>.deb and checks it: the desktop
# entry and the AppStream metainfo validate, the package holds what it should, and both programs
# answer --version without a display from an unpacked copy.
#   ./scripts/package.sh             check in a scratch root, leave the machine as it is
#   ./scripts/package.sh --install   install it with apt-get and check /usr/bin instead
set -eu
cd "$(dirname "$0")/.."
mode="${1:-scratch}"
case "$mode" in
scratch | --install) ;;
*)
    echo "Usage: $0 [--install]" >&2
    exit 2
    ;;
esac

./scripts/build.sh
rm -f build/troveport-explorer_*.deb
(cd build && cpack -G DEB >/dev/null)
set -- build/troveport-explorer_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "package.sh: cpack made no single troveport-explorer_*.deb in build/" >&2
    exit 1
fi
deb="$1"

# Errors and warnings fail; hints (desktop-file-validate) and pedantic notes are shown but pass.
desktop-file-validate data/troveport-explorer.desktop
appstreamcli validate --no-net build/data/*.metainfo.xml

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "package.sh: $deb: $*" >&2
    exit 1
}

dpkg-deb --info "$deb" >"$scratch/info" || fail "dpkg-deb cannot read it"
for field in Package Version Architecture Maintainer Section Homepage Depends Description; do
    grep -q "^ $field: " "$scratch/info" || fail "no $field field"
done
grep -q '^ Depends: .*libqt6sql6-sqlite' "$scratch/info" || fail "Depends lacks the SQLite driver"
grep -q '^ Depends: .*libqt6widgets6' "$scratch/info" || fail "Depends lacks Qt (dpkg-shlibdeps did not run?)"

dpkg-deb --contents "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' >"$scratch/contents"
for path in /usr/bin/troveport-explorer /usr/bin/troveport-setup \
    /usr/share/applications/troveport-explorer.desktop \
    /usr/share/icons/hicolor/scalable/apps/troveport-explorer.svg \
    /usr/share/icons/hicolor/16x16/apps/troveport-explorer.png \
    /usr/share/icons/hicolor/48x48/apps/troveport-explorer.png \
    /usr/share/icons/hicolor/256x256/apps/troveport-explorer.png \
    /usr/share/man/man1/troveport-explorer.1 /usr/share/man/man1/troveport-setup.1 \
    /usr/share/doc/troveport-explorer/check-report.md; do
    grep -qx "$path" "$scratch/contents" || fail "$path is missing"
done
grep -q '^/usr/share/metainfo/.*\.metainfo\.xml$' "$scratch/contents" || fail "no metainfo"
# Only the two programs are executables; tests, benchmarks and static libraries stay out.
if grep -v -e '/$' -e '^/usr/share/' -e '^/usr/bin/troveport-explorer$' -e '^/usr/bin/troveport-setup$' \
    "$scratch/contents"; then
    fail "holds files beyond the programs and their data (listed above)"
fi

if [ "$mode" = "--install" ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        SUDO="sudo"
    fi
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb"
    root=""
else
    dpkg-deb -x "$deb" "$scratch/root"
    root="$scratch/root"
fi
version="$(sed -n 's/^ Version: //p' "$scratch/info")"
for program in troveport-explorer troveport-setup; do
    answer="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version)" ||
        fail "$program --version failed"
    [ "$answer" = "$program $version" ] || fail "$program --version says \"$answer\", not \"$program $version\""
done
echo "$deb: valid, complete, both programs run (version $version)"
