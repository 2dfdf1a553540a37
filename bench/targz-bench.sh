#!/bin/sh
# Content search in a tar.gz of a source tree (/usr/include): velto-find
# against ugrep -J1 -z -rn in the same run, timed with hyperfine; then the
# peak memory (maximum resident set) of velto-find on it.
#   bench/targz-bench.sh [velto-find binary] [word]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
word=${2:-EINVAL}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/src"
tar -C /usr -czf "$work/src/include.tar.gz" include
echo "archive: $(du -h "$work/src/include.tar.gz" | cut -f1), $(tar -tzf "$work/src/include.tar.gz" | wc -l) members"

velto_hits=$("$find_bin" -c "$word" "$work/src" | wc -l)
ugrep_hits=$(ugrep -J1 -z -rn "$word" "$work/src" | wc -l)
echo "hits: velto-find $velto_hits, ugrep $ugrep_hits"
# Output through a pipe: a tool may stop at its first match when it writes to /dev/null.
hyperfine --warmup 1 --runs 5 --output=pipe \
  -n velto-find "$find_bin -c $word $work/src" \
  -n ugrep "ugrep -J1 -z -rn $word $work/src"
/usr/bin/time -f "velto-find peak memory: %M KiB" "$find_bin" -c "$word" "$work/src" >/dev/null
