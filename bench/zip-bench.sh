#!/bin/sh
# Content search over 200 ZIP archives of 50 text members each: velto-find
# against ugrep -z -rn in the same run, on every core and on one thread
# (velto-find -j 1, ugrep -J1), timed with hyperfine; then the
# peak memory (maximum resident set) of velto-find.
#   bench/zip-bench.sh [velto-find binary] [word]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
find_bin=${1:-$root/build/bin/velto-find}
word=${2:-needle}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Members of about 4 kB of prose; every tenth holds the word once.
python3 - "$work/zips" "$word" <<'PY'
import os, sys, zipfile, random
out, word = sys.argv[1], sys.argv[2]
os.makedirs(out)
rnd = random.Random(7)
vocab = ["alpha", "bravo", "search", "archive", "member", "folder", "result", "window",
         "thread", "codec", "line", "text", "value", "index", "entry", "stream"]
for a in range(200):
    with zipfile.ZipFile(f"{out}/archive{a:03}.zip", "w", zipfile.ZIP_DEFLATED) as z:
        for m in range(50):
            lines = [" ".join(rnd.choice(vocab) for _ in range(10)) for _ in range(60)]
            if m % 10 == 0:
                lines[rnd.randrange(60)] += " " + word
            z.writestr(f"docs/part{m:02}/member{m:02}.txt", "\n".join(lines) + "\n")
PY

. "$root/bench/ugrep-compare.sh"
compare_with_ugrep "$find_bin" "$word" "$work/zips" 20
