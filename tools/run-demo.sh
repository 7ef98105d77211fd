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
    # A few saved filters that make sense on the demo logs, in the stored
    # form (quoted, so that the shell leaves the backslashes alone).
    cat >> "$CONF" <<'FILTERS'

[filter]
Refusals%2C%20last%2024%20hours="-86400::::>\\s\\[f\\];;;;;;;;;;"
root%3A%20file%20events="0::::;;^\\[f\\];;;;;;<\\d+,\\d+,0,;;"
Access%20to%20the%20shadow%20file="0::::;;;;;;;;;;/etc/shadow"
Account%20changes%2C%20last%207%20days="-604800::::;;;;\\[\\b(s|f)\\b\\]\\suseradd##\\[\\b(s|f)\\b\\]\\suserdel##\\[\\b(s|f)\\b\\]\\susermod##\\[\\b(s|f)\\b\\]\\spasswd##\\[\\b(s|f)\\b\\]\\sgroupadd##\\[\\b(s|f)\\b\\]\\sgroupdel##\\[\\b(s|f)\\b\\]\\sgroupmod;;;;;;"
FILTERS
fi
XDG_CONFIG_HOME="$DEMO/config" exec "$ROOT/build/bin/vrelview"
