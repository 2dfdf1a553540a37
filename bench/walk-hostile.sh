#!/usr/bin/env bash
# The walk against two hostile trees, for a before/after comparison of two
# velto-find binaries (by default the build's against itself):
#   links: 30 folders, each holding two links to the next (2^29 paths to the
#          last folder's one file); a run is cut off after 10 s
#   descriptors: 80 folders deep, a file with a hit in each, searched under
#          ulimit -n 64
# Prints the hits, the time and the peak memory of each run.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
before=${1:-$top/build/bin/velto-find}
after=${2:-$top/build/bin/velto-find}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/links"
for i in $(seq 0 29); do mkdir "$work/links/f$i"; done
touch "$work/links/f29/x"
for i in $(seq 0 28); do
  ln -s "$work/links/f$((i + 1))" "$work/links/f$i/a"
  ln -s "$work/links/f$((i + 1))" "$work/links/f$i/b"
done
folder=$work/deep
for i in $(seq 0 79); do
  folder=$folder/level$i
  mkdir -p "$folder"
  echo needle >"$folder/hit.txt"
done

run() {  # label binary command...
  local label=$1 binary=$2
  shift 2
  local hits
  hits=$(/usr/bin/time -o "$work/time" -f "%e s, %M KB" "$@" 2>"$work/err" | wc -l)
  printf '%-24s %-7s %8s hits  %s  %s\n' "$label" "$binary" "$hits" "$(tail -1 "$work/time")" \
    "$(tail -1 "$work/err")"
}

for which in before after; do
  bin=${!which}
  run "links, name search" "$which" timeout 10 "$bin" -n x "$work/links/f0"
  run "ulimit -n 64, content" "$which" sh -c "ulimit -n 64; exec \"$bin\" -c needle \"$work/deep\""
  run "ulimit -n 64, names" "$which" sh -c "ulimit -n 64; exec \"$bin\" -n hit \"$work/deep\""
done
