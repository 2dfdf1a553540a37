#!/bin/sh
# Name search over a tree full of single compressed files (/usr/share: manual
# pages, changelogs): velto-find -n against find -iname and fdfind -uu -i.
# First the line counts of each (velto-find lists find's lines plus the
# members of real archives: tar, ZIP, ...; links only with --follow), then the
# processor time of each command with every process it starts (perf stat:
# velto-find's reader processes are no children a shell's `time` sees), then
# wall times with hyperfine. BEFORE=path/to/an/older/velto-find adds that
# program to both comparisons.
#   bench/compressed-names-bench.sh [velto-find binary] [word] [folder]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
word=${2:-conf}
tree=${3:-/usr/share}
runs=${RUNS:-10}

echo "lines: find $(find "$tree" -iname "*$word*" 2>/dev/null | wc -l)," \
  "fdfind $(fdfind -uu -i "$word" "$tree" 2>/dev/null | wc -l)," \
  "velto-find $("$find_bin" -n "$word" "$tree" 2>/dev/null | wc -l)," \
  "velto-find --follow $("$find_bin" --follow -n "$word" "$tree" 2>/dev/null | wc -l)"

# Milliseconds of processor time, the mean of the runs.
cpu() {
  perf stat -x, -r "$runs" -e task-clock "$@" 2>&1 >/dev/null | grep task-clock | cut -d, -f1
}
if command -v perf >/dev/null; then
  echo "CPU ms, every process: find $(cpu find "$tree" -iname "*$word*")," \
    "fdfind $(cpu fdfind -uu -i "$word" "$tree")," \
    "velto-find $(cpu "$find_bin" -n "$word" "$tree")" \
    "${BEFORE:+, before $(cpu "$BEFORE" -n "$word" "$tree")}"
fi
hyperfine -N --warmup 1 --runs "$runs" --ignore-failure --output=pipe \
  "find $tree -iname '*$word*'" \
  "fdfind -uu -i $word $tree" \
  "$find_bin -n $word $tree" \
  ${BEFORE:+"$BEFORE -n $word $tree"}
