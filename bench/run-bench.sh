#!/bin/bash
# Runs the velto-find benchmarks on the trees of make-trees.sh, warm cache,
# each figure in the same run as its peer. Never part of CTest.
#   bench/run-bench.sh [VELTO_FIND] [DATA_DIR]
# Needs hyperfine, ripgrep, fd-find and strace (apt-get install hyperfine
# ripgrep fd-find strace).
# Environment: CONTENT_WORD, NAME_WORD, RUNS (hyperfine runs per command),
# DEEP_RUNS (for the slow deep search), BENCH_OUT (result folder), REGEX,
# AND_WORD1, AND_WORD2 (the query options' run).
set -euo pipefail
velto=${1:-/work/build-c/bin/velto-find}
data=${2:-/work/benchdata}
content_word=${CONTENT_WORD:-EINVAL}
name_word=${NAME_WORD:-config}
regex=${REGEX:-'err(or|no)\s+\d+'}
runs=${RUNS:-5}
deep_runs=${DEEP_RUNS:-3}
out=${BENCH_OUT:-$data/results}
mkdir -p "$out"
export LC_ALL=C.UTF-8

text=$data/text
names=$data/names
deep=$data/deep
for tree in "$text" "$names" "$deep"; do
    [ -d "$tree" ] || { echo "missing $tree: run bench/make-trees.sh first" >&2; exit 2; }
done

# Output goes through a pipe: GNU grep stops at the first match when it
# writes to /dev/null.
bench() {  # bench NAME RUNS COMMAND...
    local name=$1 count=$2; shift 2
    hyperfine --warmup 1 --runs "$count" --output=pipe --style basic \
        --export-markdown "$out/$name.md" --export-json "$out/$name.json" "$@"
}

file_bytes() {  # file_bytes TREE: the sizes of its files added up
    find "$1" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }'
}

hits() {  # hits COMMAND...: the lines the command prints
    "$@" | wc -l
}

# velto-find's hits, with its peak resident set (kB) after a slash.
velto_hits_and_rss() {
    local lines
    lines=$(/usr/bin/time -f '%M' -o "$out/rss.tmp" "$velto" "$@" | wc -l)
    echo "$lines hits / max RSS $(cat "$out/rss.tmp") kB"
    rm -f "$out/rss.tmp"
}

# Each tool as people run it (every core), and each on one thread.
echo "== content search: '$content_word' over $(file_bytes "$text") bytes in $(find "$text" -type f | wc -l) files"
echo "velto-find:    $(velto_hits_and_rss -c "$content_word" "$text")"
echo "velto-find -j1: $(velto_hits_and_rss -j 1 -c "$content_word" "$text")"
echo "grep:          $(hits grep -rnF "$content_word" "$text") hits"
echo "rg:            $(hits rg -uu -F "$content_word" "$text") hits"
bench content "$runs" \
    "$velto -c $content_word $text" \
    "rg -uu -F $content_word $text" \
    "$velto -j 1 -c $content_word $text" \
    "rg -j1 -uu -F $content_word $text" \
    "grep -rnF $content_word $text"

# What a grep user asks beyond one literal word, against ripgrep on every
# core: an expression with a literal in it, whole words, two more words the
# file must hold (against the word alone), and the files with a hit.
echo "== query options over the text tree"
and_words=(--and "${AND_WORD1:-errno}" --and "${AND_WORD2:-define}")
echo "velto-find -E: $(velto_hits_and_rss -E -c "$regex" "$text")"
echo "rg:            $(hits rg -uu "$regex" "$text") hits"
echo "velto-find -w: $(velto_hits_and_rss -w -c "$content_word" "$text")"
echo "rg -w:         $(hits rg -uu -w "$content_word" "$text") hits"
echo "velto-find --and: $(velto_hits_and_rss -c "$content_word" "${and_words[@]}" "$text")"
echo "velto-find -l: $(velto_hits_and_rss -l -c "$content_word" "$text")"
echo "rg -l:         $(hits rg -uu -l -F "$content_word" "$text") hits"
bench query "$runs" \
    "$velto -E -c '$regex' $text" \
    "rg -uu '$regex' $text" \
    "$velto -w -c $content_word $text" \
    "rg -uu -w $content_word $text" \
    "$velto -c $content_word $text" \
    "$velto -c $content_word ${and_words[*]} $text" \
    "$velto -l -c $content_word $text" \
    "rg -uu -l -F $content_word $text"
python3 - "$out/query.json" <<'PY'
import json, sys
r = [x["mean"] for x in json.load(open(sys.argv[1]))["results"]]
for name, ours, peer, goal in (("-E expression / rg", r[0], r[1], 1.0),
                               ("-w / rg -w", r[2], r[3], 1.0),
                               ("--and two words / the word alone", r[5], r[4], 1.3),
                               ("-l / rg -l", r[6], r[7], 1.0)):
    print("%-34s %.3f s / %.3f s = %.2fx (goal at most %.1fx)" % (name, ours, peer, ours / peer, goal))
PY

echo "== name search: '$name_word' over $(find "$names" | wc -l) entries"
echo "velto-find: $(velto_hits_and_rss -n "$name_word" "$names")"
echo "fd:         $(hits fdfind -uu -i -F "$name_word" "$names") hits"
echo "find:       $(hits find "$names" -iname "*$name_word*") hits"
bench names "$runs" \
    "$velto -n $name_word $names" \
    "fdfind -uu -i -F $name_word $names" \
    "$velto -j 1 -n $name_word $names" \
    "find $names -iname '*$name_word*'"

echo "== deep search: '$content_word' over $(file_bytes "$deep") bytes in $(find "$deep" -type f | wc -l) files"
echo "deep:   $(velto_hits_and_rss -d -c "$content_word" "$deep")"
echo "normal: $(velto_hits_and_rss -c "$content_word" "$deep")"
# The tree is UTF-8 and the word ASCII: deep mode must report the lines
# normal mode reports, each once, at the same numbers (FILE:LINE compared).
"$velto" -d -c "$content_word" "$deep" | cut -d: -f1,2 | sort > "$out/deep.lines"
"$velto" -c "$content_word" "$deep" | cut -d: -f1,2 | sort > "$out/normal.lines"
if cmp -s "$out/deep.lines" "$out/normal.lines"; then
    echo "same lines in both modes: $(wc -l < "$out/deep.lines")"
else
    echo "the modes report different lines:"; diff "$out/normal.lines" "$out/deep.lines" | head
fi
rm -f "$out/deep.lines" "$out/normal.lines"
bench deep "$deep_runs" \
    "$velto -j 1 -c $content_word $deep" \
    "$velto -j 1 -d -c $content_word $deep"
# Wall time and CPU time (user + system) of both modes, from hyperfine's means.
python3 - "$out/deep.json" <<'PY'
import json, sys
normal, deep = json.load(open(sys.argv[1]))["results"]
def cpu(r): return r["user"] + r["system"]
print("normal: wall %.3f s, CPU %.3f s; deep: wall %.3f s, CPU %.3f s; deep/normal: %.1fx wall, %.1fx CPU"
      % (normal["mean"], cpu(normal), deep["mean"], cpu(deep),
         deep["mean"] / normal["mean"], cpu(deep) / cpu(normal)))
PY

# Each file read once in deep mode: the files opened in the tree (relative to
# their folder, no folder) and the bytes that read() returned, against the
# tree's file count and size. One trace file per thread, so no call is split.
rm -f "$out"/deep.strace.*
strace -ff -qq -e trace=openat,read -e signal=none -o "$out/deep.strace" \
    "$velto" -d -c "$content_word" "$deep" > /dev/null || true
echo "deep run under strace: $(cat "$out"/deep.strace.* | grep -E '^openat\([0-9]+, ' | grep -v O_DIRECTORY |
        grep -c ') = [0-9]') files opened," \
     "$(cat "$out"/deep.strace.* | awk '/^read\(/ && $NF ~ /^[0-9]+$/ { n += $NF } END { print n }') bytes read"
rm -f "$out"/deep.strace.*

# Deep search with the workers: the speed-up from one to every core.
bench deep-workers "$deep_runs" \
    "$velto -j 1 -d -c $content_word $deep" \
    "$velto -d -c $content_word $deep"
python3 - "$out/deep-workers.json" <<'PY'
import json, sys
one, every = json.load(open(sys.argv[1]))["results"]
print("deep search: one worker %.3f s, every core %.3f s: %.2fx faster" % (one["mean"], every["mean"], one["mean"] / every["mean"]))
PY

# Time from SIGINT to the end of the process, half a second into each search.
echo "== stop on SIGINT"
for args in "-c $content_word $text" "-n e $names $names $names $names" "-d -c $content_word $deep"; do
    # shellcheck disable=SC2086
    "$velto" $args > /dev/null &
    pid=$!
    sleep 0.5
    start=$(date +%s%N)
    if ! kill -INT "$pid" 2>/dev/null; then
        echo "velto-find $args: ended before the signal"
        continue
    fi
    status=0
    wait "$pid" || status=$?
    echo "velto-find $args: exit $status after $(( ($(date +%s%N) - start) / 1000000 )) ms"
done
