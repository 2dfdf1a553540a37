#!/bin/sh
# The same content search through velto-find and through the window, and the
# window's pauses after a Stop half way. Defaults: "the" under /usr/share/doc
# (about a million hits on Debian 12).
#   bench/window-search.sh [build-dir] [TEXT] [DIR]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
text=${2:-the}
dir=${3:-/usr/share/doc}
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_BENCH=ON >/dev/null
cmake --build "$build" --target velto-window-search velto-find -j2 >/dev/null
export LC_ALL=C.UTF-8
"$build/bin/velto-find" -c "$text" "$dir" >/dev/null  # warm the cache
echo "velto-find:"
/usr/bin/time -f "  %e s, %M KiB peak" "$build/bin/velto-find" -c "$text" "$dir" | wc -l
echo "the window:"
QT_QPA_PLATFORM=offscreen "$build/bin/velto-window-search" "$text" "$dir"
echo "the window, stopped after 1 s:"
QT_QPA_PLATFORM=offscreen "$build/bin/velto-window-search" --stop-after 1000 "$text" "$dir"
