#!/bin/sh
# Builds the Debian package (Release) into build-package/ and prints its
# name. With --check also: validates the installed desktop entry and
# AppStream data, checks that the package holds what an installation needs,
# runs lintian (an error fails, warnings are shown), unpacks the package into
# a scratch root and starts the viewer from there, which must find its
# private libraries and its translations beside itself.
# Usage: tools/package.sh [--check] [extra cmake options...]
set -e
cd "$(dirname "$0")/.."
CHECK=
if [ "${1:-}" = "--check" ]; then
    CHECK=1
    shift
fi
sh tools/deps.sh --package

BUILD=build-package
LAUNCHER=
command -v ccache >/dev/null && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# shellcheck disable=SC2086
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVREL_BUILD_TESTS=OFF -DVREL_BUILD_BENCH=OFF $LAUNCHER "$@" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
rm -f "$BUILD"/vrelview_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/vrelview_*.deb)
echo "package: $DEB"
[ -n "$CHECK" ] || exit 0

ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
dpkg -x "$DEB" "$ROOT"

echo "== desktop-file-validate"
desktop-file-validate "$ROOT/usr/share/applications/org.vrel.vrelview.desktop"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/org.vrel.vrelview.metainfo.xml"

echo "== file list"
dpkg-deb -c "$DEB" | sed 's/ -> .*//' | awk '{print $NF}' >"$ROOT.list"
missing=
for pattern in \
    '^\./usr/bin/vrelview$' \
    '^\./usr/lib/[^/]+/vrelview/libmarvok-log\.so\.2$' \
    '^\./usr/lib/[^/]+/vrelview/libvrelintegration\.so\.1$' \
    '^\./usr/share/applications/org\.vrel\.vrelview\.desktop$' \
    '^\./usr/share/metainfo/org\.vrel\.vrelview\.metainfo\.xml$' \
    '^\./usr/share/mime/packages/vrelview\.xml$' \
    '^\./usr/share/icons/hicolor/scalable/apps/security-log\.svg$' \
    '^\./usr/share/man/man1/vrelview\.1\.gz$' \
    '^\./usr/share/doc/vrelview/copyright$' \
    '^\./usr/share/vrelview/translations/vrelview_de\.qm$'; do
    grep -Eq "$pattern" "$ROOT.list" || missing="$missing $pattern"
done
rm -f "$ROOT.list"
if [ -n "$missing" ]; then
    echo "missing from the package:$missing" >&2
    exit 1
fi
echo "all there"

echo "== lintian"
lintian --fail-on error "$DEB"
echo "lintian: no errors"

echo "== the unpacked viewer"
VIEWER="$ROOT/usr/bin/vrelview"
# The private libraries come from the unpacked package, not from elsewhere.
for lib in libmarvok-log.so.2 libvrelintegration.so.1; do
    ldd "$VIEWER" | grep -F "$lib => $ROOT/" >/dev/null || {
        echo "$lib not found through the run path:" >&2
        ldd "$VIEWER" >&2
        exit 1
    }
done
VERSION=$(QT_QPA_PLATFORM=offscreen HOME="$ROOT" "$VIEWER" --version)
echo "$VERSION"
echo "$VERSION" | grep -q '^vrelview 3\.5\.8' || {
    echo "the unpacked viewer did not tell its version" >&2
    exit 1
}
# Its German texts, found beside it.
QT_QPA_PLATFORM=offscreen HOME="$ROOT" LANG=de_DE.UTF-8 LANGUAGE= LC_ALL= LC_MESSAGES= "$VIEWER" --help \
    | grep -F 'Audit-Protokoll, das beim Start' >/dev/null || {
    echo "the unpacked viewer shows no German help" >&2
    exit 1
}
echo "package checks passed"
