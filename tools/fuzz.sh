#!/bin/sh
# Continuous fuzzing of the libFuzzer targets in tests/fuzz.
#
#   tools/fuzz.sh TARGET SECONDS   builds build-fuzz if needed, seeds an empty
#                                  corpus, runs the regression inputs, then
#                                  fuzzes TARGET for SECONDS
#   tools/fuzz.sh --ci             every target: regressions and corpus, then
#                                  a short fresh run (VREL_FUZZ_CI_SECONDS, 40)
#   tools/fuzz.sh --list           the targets
#
# The build goes to build-fuzz (VREL_FUZZ_BUILD), by clang with
# -DVREL_FUZZ=ON; the corpus of a target to build-fuzz/corpus/TARGET. An
# input that makes a target fail is copied into tests/fuzz/regressions/TARGET/
# (commit it with the fix): every input that once failed is run again on
# every later run. Seeds are made by the project's own tools, one shell
# function seed_TARGET DIR per target below.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${VREL_FUZZ_BUILD:-build-fuzz}
BIN=$ROOT/$BUILD/bin
GEN=$BIN/mloggen

# --- seeds, one function per target ----------------------------------------

# Single records of every kind, hidden ones among them.
seed_fuzz_record() {
    for s in 1 2 3 4 5 6 7 8 9 10 11 12; do
        "$GEN" --records 1 --seed "$s" --start @1800000000 "$1/record-$s"
    done
}

# Small logs: clean, sparse in time, garbage with stray record starts, a
# record cut short, a clock set back, nothing.
seed_fuzz_scan() {
    "$GEN" --records 40 --seed 1 --start @1800000000 "$1/clean"
    "$GEN" --records 20 --seed 2 --rate 0.2 --start @1800000000 "$1/sparse"
    "$GEN" --records 40 --seed 3 --garbage 0.4 --garbage-magic --start @1800000000 "$1/garbage"
    "$GEN" --records 10 --seed 4 --truncate --start @1800000000 "$1/cut"
    "$GEN" --records 20 --seed 5 --start @1800000100 "$1/back.1"
    "$GEN" --records 20 --seed 6 --start @1800000000 "$1/back.2"
    cat "$1/back.1" "$1/back.2" > "$1/back" && rm "$1/back.1" "$1/back.2"
    : > "$1/empty"
}

# Index files of the target's own fixed log, true and spoilt, written by
# the target itself through the reader.
seed_fuzz_index() {
    VREL_FUZZ_WRITE_SEEDS=$1 "$BIN/fuzz_index"
}

# Patterns of every engine the matcher uses, nested repetitions and a
# back-reference among them, over a record text and a long run of one letter.
# An input is a flag byte (0: UTF-8), the pattern's length, the pattern and
# the text.
seed_fuzz_matcher() {
    n=0
    for text in '[f] <4212,4100,0,0,0> [f] unlink 2026-12-06 09:20:27 /etc/shadow' \
                '[p] <9,1,1000,1000,0> [s] open_by_handle_at 2026-12-06 09:20:27 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa b'; do
        for p in '>\s\[f\]' '^\[u\]' '<\d+,\d+,0,' '\[\b(s|f)\b\]\s(?:open)(?!\w)' 'passwd|shadow' \
                 '(a*)*b' '(x+x+)+y' '([a-c]|[x-z])\1' '\d{4}-\d{2}' '(?=.*root)' '[^\s]+\.txt' '.\d+,'; do
            n=$((n + 1))
            len=$(printf %s "$p" | LC_ALL=C wc -c)
            { printf '\000'; printf "\\$(printf %03o "$len")"; printf %s "$p"; printf %s "$text"; } > "$1/seed$n"
        done
    done
    # Lists (flag 4): lines, plain entries among them, over a path and a
    # name outside ASCII.
    for p in '/etc/shadow
/etc/passwd
shadow\.bak' '/home/j\303\274rgen
\d+x
/watched/1' 'ab
b
/etc/pa'; do
        n=$((n + 1))
        len=$(printf "$p" | LC_ALL=C wc -c)
        { printf '\004'; printf "\\$(printf %03o "$len")"; printf "$p"; printf '[f] <1,1,0,0,0> [f] open /home/j\303\274rgen/etc/passwd'; } > "$1/seed$n"
    done
}

# Settings files as the window and the Options dialog write them, written
# by the target itself, and a few written by hand: a splitter state, a line
# of values with a list among them, a font after a byte order mark.
seed_fuzz_settings() {
    VREL_FUZZ_WRITE_SEEDS=$1 "$BIN/fuzz_settings"
}

# --- running ---------------------------------------------------------------

targets() {
    sed -n 's/^vrel_add_fuzzer(\([a-z_0-9]*\).*/\1/p' tests/fuzz/CMakeLists.txt
}

build() {
    sh tools/deps.sh --fuzz
    launcher=
    command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    # shellcheck disable=SC2086
    CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DVREL_FUZZ=ON -DVREL_BUILD_TESTS=OFF \
        -DVREL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher >/dev/null
    cmake --build "$BUILD" -j"$(nproc)" --target vrel_fuzzers mloggen
}

# run TARGET SECONDS
run() {
    target=$1
    seconds=$2
    [ -x "$BIN/$target" ] || { echo "fuzz.sh: no target $target (see --list)" >&2; exit 2; }
    corpus=$ROOT/$BUILD/corpus/$target
    regressions=$ROOT/tests/fuzz/regressions/$target
    artifacts=$ROOT/$BUILD/artifacts/$target
    mkdir -p "$corpus" "$regressions" "$artifacts"
    if [ -z "$(ls -A "$corpus")" ]; then
        "seed_$target" "$corpus"
    fi
    # A small quarantine keeps the memory of a long run flat.
    export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=64
    # What Qt's offscreen platform and the font configuration keep for the
    # life of the process is no leak of an input.
    export LSAN_OPTIONS=suppressions=$ROOT/cmake/qt-offscreen.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    # A freeze counts as a failure after 10 s; a single allocation above the
    # memory limit too.
    options="-timeout=10 -rss_limit_mb=2048 -artifact_prefix=$artifacts/ -print_final_stats=1"
    [ -f "tests/fuzz/$target.dict" ] && options="$options -dict=$ROOT/tests/fuzz/$target.dict"
    status=0
    echo "== $target: regressions and corpus"
    # shellcheck disable=SC2086
    "$BIN/$target" $options -runs=0 "$corpus" "$regressions" || status=$?
    if [ "$status" -eq 0 ]; then
        echo "== $target: fresh run of $seconds s"
        # shellcheck disable=SC2086
        "$BIN/$target" $options -max_total_time="$seconds" "$corpus" "$regressions" || status=$?
    fi
    if [ "$status" -ne 0 ]; then
        for f in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
            [ -f "$f" ] && cp "$f" "$regressions/" && echo "fuzz.sh: kept $(basename "$f") in $regressions"
        done
        echo "fuzz.sh: $target failed" >&2
        return 1
    fi
}

case "${1:-}" in
--list)
    targets
    ;;
--ci)
    build
    passed=0
    failed=0
    for t in $(targets); do
        if run "$t" "${VREL_FUZZ_CI_SECONDS:-40}"; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    done
    echo "fuzz: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    ;;
fuzz_*)
    [ $# -eq 2 ] || { echo "usage: $0 TARGET SECONDS | --ci | --list" >&2; exit 2; }
    build
    run "$1" "$2"
    ;;
*)
    echo "usage: $0 TARGET SECONDS | --ci | --list" >&2
    exit 2
    ;;
esac
