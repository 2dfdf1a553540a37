#!/bin/sh
# Builds the archive walkers' libFuzzer targets with clang and runs each for
# the given number of seconds (default 600), one after the other, niced.
#   scripts/fuzz.sh [seconds] [build-dir]
set -eu
seconds=${1:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-${TMPDIR:-/tmp}/velto-build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELTO_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_zip fuzz_rar -j2
for kind in zip rar; do
  corpus=$build/corpus-$kind
  mkdir -p "$corpus"
  if [ "$kind" = rar ]; then
    cp "$root"/../shared/fixtures/rar/*.rar "$corpus"/ 2>/dev/null || true
  elif [ -z "$(ls -A "$corpus")" ]; then
    seed=$(mktemp -d)
    mkdir -p "$seed/x/" && printf 'one\na line\n' >"$seed/x/a.txt" && printf 'b\n' >"$seed/b.doc"
    (cd "$seed" && zip -qr "$corpus/seed-deflated.zip" x b.doc && zip -q0r "$corpus/seed-stored.zip" x)
    rm -rf "$seed"
  fi
  echo "== fuzz_$kind for ${seconds}s (log: $build/fuzz-$kind.log)"
  # -jobs=1 runs the fuzzer in a child whose output goes to fuzz-0.log.
  # libarchive asks malloc for absurd sizes on some damaged headers and handles
  # the refusal itself.
  (cd "$build" && ASAN_OPTIONS=allocator_may_return_null=1 nice "$build/bin/fuzz_$kind" -max_total_time="$seconds" -jobs=1 -workers=1 \
    -max_len=65536 -rss_limit_mb=2048 -artifact_prefix="$build/crash-$kind-" "$corpus" \
    && mv fuzz-0.log "fuzz-$kind.log")
  grep '^#' "$build/fuzz-$kind.log" | tail -1
done
