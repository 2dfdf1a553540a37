#!/bin/sh
# Archives inside archives: the 16 x 16 x 16 chain of ZIPs (256 GiB of text
# in about 50 KB) searched by name and by content, with the processor time
# of velto-find and its reader processes together (perf stat's task-clock
# follows the children), its peak memory, and the most space its files
# without a name (in TMPDIR, or memfd in memory) held at once, sampled
# every 0.1 s from /proc.
#   bench/nested-bench.sh [velto-find binary] [seconds before giving up]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
limit=${2:-120}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tree" "$work/tmp"
python3 "$root/bench/make-nested-zips.py" "$work/tree/bomb.zip" 16 3 64
echo "archive: $(stat -c %s "$work/tree/bomb.zip") bytes"

# The bytes held at once by the nameless files of a process and its children.
watch_space() {
  peak_disk=0 peak_memory=0
  while kill -0 "$1" 2>/dev/null; do
    disk=0 memory=0
    for pid in $(pgrep -f "$find_bin") $(pgrep -f velto-worker); do
      for fd in /proc/"$pid"/fd/*; do
        target=$(readlink "$fd" 2>/dev/null) || continue
        size=$(stat -L -c %s "$fd" 2>/dev/null) || continue
        case $target in
          "$work/tmp/#"*) disk=$((disk + size)) ;;
          /memfd:velto-temporary-space*) ;;
          /memfd:*) memory=$((memory + size)) ;;
        esac
      done
    done
    [ "$disk" -gt "$peak_disk" ] && peak_disk=$disk
    [ "$memory" -gt "$peak_memory" ] && peak_memory=$memory
    sleep 0.1
  done
  echo "  nameless files at most $((peak_disk >> 20)) MiB in TMPDIR, $((peak_memory >> 20)) MiB in memory"
}

for mode in "-n level" "-c needle" "-j 4 -c needle"; do
  echo "velto-find $mode:"
  TMPDIR=$work/tmp timeout "$limit" perf stat -e task-clock -x, -o "$work/perf" \
    /usr/bin/time -f "  wall %e s, velto-find peak %M KiB" \
    "$find_bin" $mode "$work/tree" >"$work/out" 2>"$work/err" &
  watch_space $!
  status=0
  wait $! || status=$?
  [ "$status" -eq 124 ] && echo "  stopped after $limit s"
  echo "  CPU $(awk -F, '/task-clock/ {printf "%.1f s", $1 / 1000}' "$work/perf")," \
    "$(wc -l <"$work/out") lines out, $(grep -vc '^\(  wall\|Command\)' "$work/err") diagnostic lines"
  grep -v '^\(  wall\|Command\)' "$work/err" | head -3 | sed 's/^/  | /'
  grep '^  wall' "$work/err" || true
done
