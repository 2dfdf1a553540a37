#!/bin/sh
# A name search with 20,000 patterns: the patterns are compiled into one
# filter, so the search should take about as long as with one pattern
# (the goal is at most 2 s). Patterns are the 20,000 first three-character
# words of [a-z0-9] (80 KB, below the 128 KiB an argument may hold): wrapped
# ("*abc*", most names hold one) and as typed (-x, few names are one). Prints
# the hits, the wall time and the peak memory of each run.
#   bench/patterns-bench.sh [velto-find binary] [folder]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
folder=${2:-/usr/include}
patterns=$(python3 -c "
import itertools
words = itertools.product('abcdefghijklmnopqrstuvwxyz0123456789', repeat=3)
print(';'.join(''.join(w) for w in itertools.islice(words, 20000)))")
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for exact in "" -x; do
  hits=$(/usr/bin/time -o "$log" -f '%e s, %M KiB peak' "$find_bin" $exact -n "$patterns" "$folder" | wc -l)
  printf '20,000 patterns%-3s over %s: %s hits, %s\n' " $exact" "$folder" "$hits" "$(cat "$log")"
done
