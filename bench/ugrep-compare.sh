# Sourced by the archive benches: compares `velto-find -c WORD DIR` with
# `ugrep -z -rn WORD DIR` (archives decompressed), both on every core and both
# on one thread (`-j 1`, `-J1`), in the same run: hit counts first, then
# hyperfine, then velto-find's peak memory.
# Output goes through a pipe: a tool may stop at its first match when it
# writes to /dev/null.
compare_with_ugrep() {  # velto-find word dir runs
  velto_hits=$("$1" -c "$2" "$3" | wc -l)
  ugrep_hits=$(ugrep -J1 -z -rn "$2" "$3" | wc -l)
  echo "hits: velto-find $velto_hits, ugrep $ugrep_hits"
  hyperfine --warmup 1 --runs "$4" --output=pipe \
    -n velto-find "$1 -c $2 $3" \
    -n ugrep "ugrep -z -rn $2 $3" \
    -n "velto-find -j 1" "$1 -j 1 -c $2 $3" \
    -n "ugrep -J1" "ugrep -J1 -z -rn $2 $3"
  /usr/bin/time -f "velto-find peak memory: %M KiB" "$1" -c "$2" "$3" >/dev/null
}
