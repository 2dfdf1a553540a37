#!/bin/sh
# Name search over a tree full of single compressed files (/usr/share: manual
# pages, changelogs): velto-find -n against find -iname and fdfind -uu -i,
# timed with hyperfine, after the line counts of each (velto-find lists
# find's lines plus the members of real archives: tar, ZIP, ...).
#   bench/compressed-names-bench.sh [velto-find binary] [word] [folder]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
word=${2:-conf}
tree=${3:-/usr/share}

echo "lines: find $(find "$tree" -iname "*$word*" 2>/dev/null | wc -l)," \
  "fdfind $(fdfind -uu -i "$word" "$tree" 2>/dev/null | wc -l)," \
  "velto-find $("$find_bin" -n "$word" "$tree" 2>/dev/null | wc -l)"
hyperfine --warmup 1 --runs "${RUNS:-10}" --ignore-failure --output=pipe \
  "find $tree -iname '*$word*'" \
  "fdfind -uu -i $word $tree" \
  "$find_bin -n $word $tree"
