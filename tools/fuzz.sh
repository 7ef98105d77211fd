#!/bin/sh
# Seed corpora of the fuzz targets: seed_<target> DIR writes a few inputs
# into DIR.

# fuzz_matcher: flag byte 0 (UTF-8), pattern length, pattern, record text.
seed_fuzz_matcher() {
    mkdir -p "$1"
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
}
