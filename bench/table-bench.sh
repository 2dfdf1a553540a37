#!/bin/sh
# Builds and runs the result-table benchmark: 1,000,000 name hits in 2,000
# directory batches fed to the offscreen window. Extra arguments go to the
# benchmark (--hits, --batches, --content).
#   bench/table-bench.sh [build-dir] [benchmark arguments...]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
[ $# -gt 0 ] && shift
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_BENCH=ON >/dev/null
cmake --build "$build" --target velto-table-bench -j2
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$build/bin/velto-table-bench" "$@"
