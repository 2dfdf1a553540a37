#!/bin/sh
# What one large or hostile document adds to a search's memory: a PDF of
# 1,000 pages, a spreadsheet of about 100 MB, a billion-laughs entity bomb
# and one XML element of 1 GiB (bench/make-large-documents.py). For each,
# velto-find searches it alone; the peak resident memory of velto-find and
# of each reader process it starts (VmHWM, sampled every 10 ms while they
# live) is added up, less velto-find's own peak for a one-paragraph
# document (so the reader process's own start-up counts as added). The
# readers alone (velto-document-scan, in one process, built with
# -DVELTO_BENCH=ON) are measured the same way by /usr/bin/time.
#   bench/documents-memory.sh [velto-find] [velto-document-scan] [word]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
scan_bin=${2:-$root/build/bin/velto-document-scan}
word=${3:-needle}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$root/bench/make-large-documents.py" "$work" "$word"

# Prints the sum over velto-find and its descendants of each one's peak
# resident memory in KiB, sampled until velto-find ends.
tree_peak() {
  "$@" >/dev/null 2>&1 &
  top=$!
  peaks=$work/peaks
  : >"$peaks"
  while kill -0 "$top" 2>/dev/null; do
    for pid in $top $(pgrep -P "$top" || true); do
      hwm=$(sed -n 's/^VmHWM:[^0-9]*\([0-9]*\).*/\1/p' /proc/"$pid"/status 2>/dev/null || true)
      [ -n "$hwm" ] && echo "$pid $hwm" >>"$peaks"
    done
    sleep 0.01
  done
  wait "$top" || true
  sort -k1,1n -k2,2n "$peaks" | awk '{ peak[$1] = $2 } END { for (p in peak) sum += peak[p]; print sum + 0 }'
}

scan_peak() {
  /usr/bin/time -f %M "$scan_bin" "$word" "$1" 2>&1 >/dev/null | tail -1
}

printf '%-14s %12s %10s %12s %10s  %s\n' document "search KiB" "added" "readers KiB" added hits
base_search=$(/usr/bin/time -f %M "$find_bin" -x -n small.docx -c "$word" "$work" 2>&1 >/dev/null |
  tail -1)
base_scan=$(scan_peak "$work/small.docx")
for f in small.docx pages.pdf sheet.xlsx entities.docx element.docx; do
  search=$(tree_peak "$find_bin" -x -n "$f" -c "$word" "$work")
  scan=$(scan_peak "$work/$f")
  hits=$("$find_bin" -x -n "$f" -c "$word" "$work" 2>/dev/null | wc -l)
  printf '%-14s %12s %10s %12s %10s  %s\n' "$f" "$search" $((search - base_search)) \
    "$scan" $((scan - base_scan)) "$hits"
done
