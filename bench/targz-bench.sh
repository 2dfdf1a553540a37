#!/bin/sh
# Content search in a tar.gz of a source tree (/usr/include): velto-find
# against ugrep -z -rn in the same run, on every core and on one thread
# (velto-find -j 1, ugrep -J1), timed with hyperfine; then the
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

. "$root/bench/ugrep-compare.sh"
compare_with_ugrep "$find_bin" "$word" "$work/src" 5
