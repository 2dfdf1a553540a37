#!/bin/sh
# Content search in 50 archives of eight formats (zip, tar, tar.gz, tar.bz2,
# tar.xz, tar.zst, 7z, cpio), made from /usr/include's files cut into 50
# slices: velto-find -c WORD against ugrep -z -r WORD (archives
# decompressed), first over the formats both read (ugrep reads no 7z and
# misreads newc cpio), then over all 50 for velto-find; then each format on
# its own, to show where the time goes. "in-process" is the same velto-find
# copied to a folder without velto-worker beside it, which reads archives in
# its own process (so its user time is all the reading; run it where the
# package is not installed). Hit counts first; hyperfine, output through a
# pipe. BEFORE=path/to/an/older/velto-find (its velto-worker beside it) adds
# that build, with its readers and in-process, to the comparison of the
# formats both read, and a run of ROUNDS (default 10) interleaved rounds of
# the five commands with their median wall times, so that a load that comes
# and goes weighs on each alike.
#   bench/mixed-bench.sh [velto-find binary] [word] [runs]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
word=${2:-EINVAL}
runs=${3:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 50 slices of /usr/include's regular files, the i-th file in slice i % 50.
(cd /usr && find include -type f | sort) >"$work/files"
formats="zip tar tgz tbz2 txz tzst 7z cpio"
i=0
while [ $i -lt 50 ]; do
  awk -v n=$i 'NR % 50 == n' "$work/files" >"$work/slice$i"
  format=$(echo $formats | cut -d' ' -f$((i % 8 + 1)))
  mkdir -p "$work/by/$format"
  out="$work/by/$format/slice$i.$format"
  case $format in
  zip) (cd /usr && zip -q -@ "$out" <"$work/slice$i") ;;
  tar) tar -C /usr -cf "$out" -T "$work/slice$i" ;;
  tgz) tar -C /usr -czf "$out" -T "$work/slice$i" ;;
  tbz2) tar -C /usr -cjf "$out" -T "$work/slice$i" ;;
  txz) tar -C /usr -cJf "$out" -T "$work/slice$i" ;;
  tzst) tar -C /usr --zstd -cf "$out" -T "$work/slice$i" ;;
  7z) (cd /usr && 7z a -bd -bso0 "$out" @"$work/slice$i") ;;
  cpio) python3 "$root/bench/write-newc.py" /usr "$work/slice$i" "$out" ;;
  esac
  i=$((i + 1))
done
mkdir "$work/both" "$work/all" "$work/here"
cp "$find_bin" "$work/here/velto-find"
here=$work/here/velto-find
if [ -n "${BEFORE:-}" ]; then
  mkdir "$work/before"
  cp "$BEFORE" "$work/before/velto-find"
fi
for format in $formats; do
  cp "$work/by/$format"/* "$work/all/"
  case $format in 7z | cpio) ;; *) cp "$work/by/$format"/* "$work/both/" ;; esac
done
echo "archives: 50, $(du -sh "$work/all" | cut -f1); both read: $(ls "$work/both" | wc -l), $(du -sh "$work/both" | cut -f1)"

echo "== the formats both read"
velto_hits=$("$find_bin" -c "$word" "$work/both" | wc -l)
ugrep_hits=$(ugrep -z -r "$word" "$work/both" | wc -l)
echo "hits: velto-find $velto_hits, ugrep $ugrep_hits"
hyperfine -N --warmup 1 --runs "$runs" --output=pipe \
  -n velto-find "$find_bin -c $word $work/both" \
  -n "velto-find in-process" "$here -c $word $work/both" \
  -n "ugrep -z -r" "ugrep -z -r $word $work/both" \
  ${BEFORE:+-n before "$BEFORE -c $word $work/both"} \
  ${BEFORE:+-n "before in-process" "$work/before/velto-find -c $word $work/both"}
if [ -n "${BEFORE:-}" ]; then
  echo "== the formats both read, ${ROUNDS:-10} interleaved rounds (median wall, s)"
  : >"$work/rounds"
  r=0
  while [ $r -lt "${ROUNDS:-10}" ]; do
    for name in velto-find in-process ugrep before before-in-process; do
      case $name in
      velto-find) set -- "$find_bin" -c "$word" ;;
      in-process) set -- "$here" -c "$word" ;;
      ugrep) set -- ugrep -z -r "$word" ;;
      before) set -- "$BEFORE" -c "$word" ;;
      before-in-process) set -- "$work/before/velto-find" -c "$word" ;;
      esac
      begun=$(date +%s.%N)
      "$@" "$work/both" | cat >/dev/null
      echo "$name $(date +%s.%N) $begun" >>"$work/rounds"
    done
    r=$((r + 1))
  done
  for name in velto-find in-process ugrep before before-in-process; do
    awk -v n=$name '$1 == n { print $2 - $3 }' "$work/rounds" | sort -n |
      awk -v n=$name '{ t[NR] = $1 } END { printf "%-18s median %.3f  min %.3f  max %.3f\n", n, t[int((NR + 1) / 2)], t[1], t[NR] }'
  done
fi
echo "== all 50 (velto-find reads 7z and cpio too)"
echo "hits: velto-find $("$find_bin" -c "$word" "$work/all" | wc -l)"
hyperfine -N --warmup 1 --runs "$runs" --output=pipe -n velto-find "$find_bin -c $word $work/all"
/usr/bin/time -f "velto-find peak memory: %M KiB, user %U s, system %S s" \
  "$find_bin" -c "$word" "$work/all" >/dev/null
echo "== each format on its own (wall; user CPU in the export)"
for format in $formats; do
  set -- -n "velto-find $format" "$find_bin -c $word $work/by/$format" \
    -n "in-process $format" "$here -c $word $work/by/$format"
  case $format in 7z | cpio) ;; *) set -- "$@" -n "ugrep $format" "ugrep -z -r $word $work/by/$format" ;; esac
  hyperfine -N --warmup 1 --runs "$runs" --output=pipe --style basic \
    --export-csv "$work/$format.csv" "$@" >/dev/null
  awk -F, 'NR > 1 { printf "%-20s %8.1f ms  user %6.1f ms\n", $1, $2 * 1000, $5 * 1000 }' \
    "$work/$format.csv"
done
