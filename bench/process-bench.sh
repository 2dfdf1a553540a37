#!/bin/sh
# What the reader processes cost per job: velto-find reading archives and
# documents in reader processes (velto-worker beside it) against the same
# velto-find copied to a folder without velto-worker, which parses them in
# its own process. Two sets: 300 tar.gz files of 10 text members (one job
# each) and bench/make-documents.py's 300 ten-page PDFs (one job each).
# hyperfine -N, one thread (-j 1: the difference over the set is the cost of
# its jobs) and every core; hit counts first.
#   bench/process-bench.sh [velto-find] [runs]
# With the package installed, the copy finds /usr/libexec/velto/velto-worker
# and the comparison says nothing: run it where the package is not.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
runs=${2:-5}
word=needle
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/here" "$work/targz"
cp "$find_bin" "$work/here/velto-find"
here=$work/here/velto-find

i=0
while [ $i -lt 300 ]; do
  d=$work/members/$i
  mkdir -p "$d"
  j=0
  while [ $j -lt 10 ]; do
    head -c 4000 /usr/share/common-licenses/GPL-3 >"$d/m$j.txt"
    j=$((j + 1))
  done
  [ $((i % 10)) -eq 0 ] && echo "a $word line" >>"$d/m0.txt"
  tar -C "$d" -czf "$work/targz/a$i.tar.gz" .
  i=$((i + 1))
done
/usr/bin/python3 "$root/bench/make-documents.py" "$work/docs" "$word" >/dev/null

for set in targz docs/pdf; do
  dir=$work/$set
  echo "== $set: $(ls "$dir" | wc -l) files"
  echo "hits: readers $("$find_bin" -c $word "$dir" | wc -l), in-process $("$here" -c $word "$dir" | wc -l)"
  hyperfine -N --warmup 1 --runs "$runs" --output=pipe \
    -n "in-process -j 1" "$here -j 1 -c $word $dir" \
    -n "readers -j 1" "$find_bin -j 1 -c $word $dir" \
    -n "in-process" "$here -c $word $dir" \
    -n "readers" "$find_bin -c $word $dir"
done
