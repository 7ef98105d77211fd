#!/bin/sh
# Writes a demo log folder: usage: make-demo.sh DIR [BUILD_DIR]
#   kernel.mlog          about a million records over a few days, ending now
#   kernel-YYYY-MM.mlog  last month's log
#   auth.mlog            a quieter log of the past weeks
#   empty.mlog           a file with no record in it
#   damaged.mlog         garbage between records and a last record cut short
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 DIR [BUILD_DIR]" >&2
    exit 2
fi
dir=$1
build=${2:-$(cd "$(dirname "$0")/.." && pwd)/build}
gen=$build/bin/mloggen
if [ ! -x "$gen" ]; then
    echo "$0: $gen not found; build the project first (cmake --build $build)" >&2
    exit 1
fi

mkdir -p "$dir"
month_start=$(date +%Y-%m-01)
last_month=$(date -d "$month_start -1 month" +%Y-%m)

"$gen" --seed 1 --records 1000000 --rate 200 "$dir/kernel.mlog"
"$gen" --seed 2 --records 200000 --rate 20 --start "$last_month-01 00:00:00" "$dir/kernel-$last_month.mlog"
"$gen" --seed 3 --records 50000 --rate 4 --start "$(date -d '-20 days' '+%Y-%m-%d %H:%M:%S')" "$dir/auth.mlog"
head -c 64 /dev/zero > "$dir/empty.mlog"
"$gen" --seed 4 --records 20000 --rate 30 --garbage 0.05 --truncate \
    --start "$(date -d '-2 days' '+%Y-%m-%d %H:%M:%S')" "$dir/damaged.mlog"

ls -l "$dir"
