#!/bin/sh
# Installs what is missing, builds the viewer, generates a demo log folder
# and starts the viewer on it. Settings and index files of the demo stay in
# demo/ and never touch the user's own.
set -e
# The viewer needs a display; say so before minutes of building, not after.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "$0: no display (DISPLAY and WAYLAND_DISPLAY are unset); run it in a desktop session, or as: xvfb-run -a $0" >&2
    exit 1
fi
cd "$(dirname "$0")/.."
ROOT=$(pwd)
sh tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the viewer and the generator: the tests and benchmarks are for
# tools/run-tests.sh.
cmake --build build -j"$(nproc)" --target vrelview mloggen
DEMO="$ROOT/demo"
[ -f "$DEMO/logs/kernel.mlog" ] || sh tools/make-demo.sh "$DEMO/logs" build
mkdir -p "$DEMO/config/vrel" "$DEMO/documents"
# The documents folder (where index files live) is taken from the
# configuration folder's user-dirs file.
printf 'XDG_DOCUMENTS_DIR="%s"\n' "$DEMO/documents" > "$DEMO/config/user-dirs.dirs"
CONF="$DEMO/config/vrel/vrelview.conf"
if [ ! -f "$CONF" ]; then
    cat > "$CONF" <<CONF
[config]
logdir=$DEMO/logs
logfile=$DEMO/logs/kernel.mlog
filter=default
autoopen=true
autofilter=true
CONF
fi
XDG_CONFIG_HOME="$DEMO/config" exec "$ROOT/build/bin/vrelview"
