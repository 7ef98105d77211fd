#!/bin/sh
# The viewer's filter run beside other tools that search audit logs, on one
# generated log.
#
#   bench/peers.sh [--install] [--records N] [--build DIR] [FOLDER]
#
# Generates a log of N records (default 1 000 000) in FOLDER (default: a
# temporary folder, removed at the end; a log of N records left there by an
# earlier run is reused), writes its texts one per line and the same records
# as audit daemon lines (type=SYSCALL, one event per record), then times each
# tool, best of three, and compares the match counts:
#   uid 1 + refusals   bench_count (the viewer's open and filter run on the
#                      .mlog), ausearch -ui 1 -sv no, lnav :filter-in on the
#                      audit lines, grep -c -E on the text dump;
#   one day            bench_count and ausearch -ts/-te for a one-day range.
# A tool that is not installed is skipped; --install installs auditd and
# lnav through tools/deps.sh --peers first. BUILD (default build) must hold
# a configured build of the project; bench_count and mloggen are built there.
set -e
cd "$(dirname "$0")/.."
RECORDS=1000000
BUILD=build
FOLDER=
INSTALL=
while [ $# -gt 0 ]; do
    case $1 in
    --install) INSTALL=1 ;;
    --records) RECORDS=$2; shift ;;
    --build) BUILD=$2; shift ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) FOLDER=$1 ;;
    esac
    shift
done
[ -n "$INSTALL" ] && sh tools/deps.sh --peers
cmake --build "$BUILD" --target bench_count mloggen >/dev/null
BIN=$(cd "$BUILD/bin" && pwd)
if [ -z "$FOLDER" ]; then
    FOLDER=$(mktemp -d)
    trap 'rm -rf "$FOLDER"' EXIT
fi
mkdir -p "$FOLDER"
LOG=$FOLDER/peers.mlog
TEXT=$FOLDER/peers.txt
AUDIT=$FOLDER/peers.audit
export LC_ALL=C

if [ "$(cat "$FOLDER/peers.records" 2>/dev/null)" != "$RECORDS" ] || [ ! -s "$AUDIT" ]; then
    "$BIN/mloggen" --records "$RECORDS" --seed 4212 --start @1796000000 "$LOG"
    "$BIN/bench_count" "$LOG" --dump "$TEXT" "$AUDIT"
    echo "$RECORDS" > "$FOLDER/peers.records"
fi
set -- $("$BIN/bench_count" "$LOG" --span)
FROM=$(( $1 + ($2 - $1) / 2 ))
TO=$(( FROM + 86399 ))

# best3 COMMAND...: runs it three times; BEST is the shortest wall time in
# seconds, OUT the output of the last run.
best3() {
    BEST=
    for _ in 1 2 3; do
        t0=$(date +%s.%N)
        OUT=$("$@" 2>/dev/null) || true
        t1=$(date +%s.%N)
        BEST=$(awk -v a="$t0" -v b="$t1" -v best="$BEST" \
            'BEGIN { d = b - a; if (best == "" || d < best) best = d; printf "%.3f", best }')
    done
}

GREP=
OURS=
OURS_COUNT=
# row QUERY TOOL SECONDS COUNT
row() {
    awk -v q="$1" -v t="$2" -v s="$3" -v c="$4" -v g="$GREP" -v o="$OURS" -v oc="$OURS_COUNT" 'BEGIN {
        xg = (g != "" && g > 0) ? sprintf("%.2f", s / g) : "-"
        xo = (o != "" && o > 0) ? sprintf("%.2f", s / o) : "-"
        note = (oc != "" && c != oc) ? "  (count differs!)" : ""
        printf "%-18s %-34s %9.3f %8s %8s %10s%s\n", q, t, s, xg, xo, c, note
    }'
}
skip() {
    printf '%-18s %-34s   skipped: %s is not installed (bench/peers.sh --install)\n' "$1" "$2" "$3"
}

echo "$(grep -c '' "$TEXT") records; text dump $(du -m "$TEXT" | cut -f1) MiB, audit lines $(du -m "$AUDIT" | cut -f1) MiB; $(nproc) cores; $(date +%Y-%m-%d)"
printf '%-18s %-34s %9s %8s %8s %10s\n' query tool seconds "x grep" "x ours" matches

Q="uid 1 + refusals"
best3 grep -c -E '<[0-9]+,[0-9]+,1,[0-9]+,[0-9]+> \[f\]' "$TEXT"
GREP=$BEST
GREP_COUNT=$OUT
best3 "$BIN/bench_count" "$LOG" --uid 1 --refusals
OURS=$BEST
OURS_COUNT=$(echo "$OUT" | cut -d' ' -f1)
row "$Q" "vrelview: open + run (bench_count)" "$OURS" "$OURS_COUNT"
RUN=$(echo "$OUT" | cut -d' ' -f3)
row "" "vrelview: filter run alone" "$RUN" "$OURS_COUNT"
if command -v ausearch >/dev/null; then
    best3 sh -c "ausearch -if '$AUDIT' -ui 1 -sv no -r | grep -c '^type='"
    row "" "ausearch -ui 1 -sv no" "$BEST" "$OUT"
else
    skip "" "ausearch -ui 1 -sv no" ausearch
fi
if command -v lnav >/dev/null; then
    mkdir -p "$FOLDER/lnav-home"
    best3 sh -c "HOME='$FOLDER/lnav-home' lnav -n -c ':filter-in success=no .* uid=1 ' '$AUDIT' | grep -c '^type='"
    row "" "lnav :filter-in (audit lines)" "$BEST" "$OUT"
else
    skip "" "lnav :filter-in (audit lines)" lnav
fi
row "" "grep -c -E (text dump)" "$GREP" "$GREP_COUNT"

Q="one day"
GREP=
best3 "$BIN/bench_count" "$LOG" --from "$FROM" --to "$TO"
OURS=$BEST
OURS_COUNT=$(echo "$OUT" | cut -d' ' -f1)
row "$Q" "vrelview: open + run (bench_count)" "$OURS" "$OURS_COUNT"
row "" "vrelview: filter run alone" "$(echo "$OUT" | cut -d' ' -f3)" "$OURS_COUNT"
if command -v ausearch >/dev/null; then
    # ausearch reads dates in the locale's %x form.
    best3 sh -c "ausearch -if '$AUDIT' -ts $(date -d "@$FROM" '+%x %H:%M:%S') -te $(date -d "@$TO" '+%x %H:%M:%S') -r | grep -c '^type='"
    row "" "ausearch -ts/-te" "$BEST" "$OUT"
else
    skip "" "ausearch -ts/-te" ausearch
fi
