#!/bin/sh
# Deep search for texts of 15, 30, 60 and 120 KB over four tiny files: what
# it costs is making the deep-search anchors for every codec, which should
# grow in step with the text's length. Prints the user CPU time (the machine
# may be busy; wall time would say more of the load than of the program) and
# the peak memory of each run.
#   bench/longtext-bench.sh [velto-find binary]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for i in 1 2 3 4; do
  echo "hello world line $i" > "$work/f$i.txt"
done
for kb in 15 30 60 120; do
  text=$(python3 -c "
import random
random.seed(1)
words = ['alpha', 'beta', 'gamma', 'delta', 'epsilon', 'zeta', 'theta', 'kappa']
print(' '.join(random.choice(words) for _ in range(40000))[:$kb * 1000])")
  /usr/bin/time -o "$work/time" -f '%U s user, %M KiB peak' \
    "$find_bin" -j 1 -d -c "$text" "$work" >/dev/null || [ $? -eq 1 ]
  printf '%3s KB text: %s\n' "$kb" "$(cat "$work/time")"
done
