#!/bin/sh
# Content search inside documents: 300 PDFs of ten pages and 1,000 office
# files (docx, xlsx, odt), made by bench/make-documents.py. For each set, in
# the same run: velto-find against ugrep with its documented filters
# (pdftotext, pandoc), both on every core; the document readers alone
# (velto-document-scan, one file after another) against ugrep -J1 with the
# same filters; hit counts first, then hyperfine (wall and CPU time), then
# velto-find's peak memory. velto-document-scan is built with
# -DVELTO_BENCH=ON.
#   bench/documents-bench.sh [velto-find] [velto-document-scan] [word]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
scan_bin=${2:-$root/build/bin/velto-document-scan}
word=${3:-needle}
"$root/scripts/install-deps.sh" hyperfine ugrep poppler-utils pandoc python3-docx python3-openpyxl
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$root/bench/make-documents.py" "$work" "$word"

# pandoc 2.17 cannot read .xlsx: given one it reads the ZIP as Markdown and
# grew to 23 GB on a 19 KB workbook here, so .xlsx is left out of ugrep's
# filters (its hits count is then short by the workbooks' hits).
filters='pdf:pdftotext % -,docx,odt:pandoc --wrap=preserve -t plain % -o -'
for set in pdf office; do
  dir=$work/$set
  echo "== $set: $(ls "$dir" | wc -l) files, $(du -sh "$dir" | cut -f1)"
  echo "hits: velto-find $("$find_bin" -c "$word" "$dir" | wc -l)," \
    "readers $("$scan_bin" "$word" "$dir"/*)," \
    "ugrep $(ugrep -rn --filter="$filters" "$word" "$dir" 2>/dev/null | wc -l)"
  hyperfine --warmup 1 --runs 3 --output=pipe \
    -n "velto-find" "$find_bin -c $word $dir" \
    -n "ugrep" "ugrep -rn --filter='$filters' $word $dir" \
    -n "readers, one thread" "$scan_bin $word $dir/*" \
    -n "ugrep -J1" "ugrep -J1 -rn --filter='$filters' $word $dir"
  /usr/bin/time -f "velto-find peak memory: %M KiB" "$find_bin" -c "$word" "$dir" >/dev/null
  /usr/bin/time -f "readers peak memory: %M KiB" "$scan_bin" "$word" "$dir"/* >/dev/null
done
