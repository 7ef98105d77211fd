#!/bin/sh
# Installs what is missing, builds everything and runs all tests.
# Usage: tools/run-tests.sh [BUILD_DIR] [extra cmake options...]
set -e
cd "$(dirname "$0")/.."
sh tools/deps.sh
BUILD=${1:-build}
[ $# -gt 0 ] && shift
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$BUILD" -j"$(nproc)"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
