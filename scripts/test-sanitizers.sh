#!/usr/bin/env bash
# Runs the tests again in sanitizer builds (-O1 with line tables, ctest -j2):
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer + LeakSanitizer,
#                every test; undefined behaviour ends the process;
#   build-tsan/  ThreadSanitizer, the thread, stop and delivery tests only (the
#                content matcher's own tests are single-threaded; it runs in
#                the search thread in test_walk and test_cli; the preview's
#                loader thread runs in test_resulttable and test_tray);
#   fuzz         the document readers' fuzz targets (bench/fuzz/), each
#                family for $VELTO_FUZZ_SECONDS (default 3) from the sample
#                documents, in build-fuzz/ (clang);
#   valgrind     memcheck on the normal build (build/): the deep-search tests
#                of texts outside the BMP and a velto-find run on a UTF-32
#                file, where an uninitialised byte would change the output.
# Every sanitizer report, also one from a program a test starts (velto-search,
# velto-find), is written to a log file of its own; the script prints them and
# fails when there is any, whatever the tests' own verdict.
#   scripts/test-sanitizers.sh [asan|tsan|fuzz|valgrind]...
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
supp=$top/tests/sanitizers
"$top/scripts/install-deps.sh"

tsan_tests=(test_walk test_searchrequest test_resulttable test_tray test_cli)

configure() {  # build-dir sanitizers
  cmake -S "$top" -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_SANITIZE="$2" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS="${3:-}" >/dev/null
}

# Runs ctest with sanitizer logs going to a fresh folder; fails when a test
# failed or any report was written.
run_tests() {  # build-dir ctest-arguments...
  local build=$1 logs=$1/sanitizer-logs status=0
  shift
  rm -rf "$logs" && mkdir -p "$logs"
  (cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@") || status=1
  if compgen -G "$logs/*" >/dev/null; then
    for log in "$logs"/*; do
      echo "==== $log"
      cat "$log"
    done
    echo "sanitizer reports in $logs" >&2
    status=1
  fi
  return $status
}

asan() {
  local build=${VELTO_ASAN_BUILD_DIR:-$top/build-asan}
  configure "$build" address,undefined -fno-sanitize-recover=undefined
  cmake --build "$build" -j2
  local logs=$build/sanitizer-logs
  # A smaller quarantine of freed memory than the default 256 MB, so that the
  # tests' bounds on peak memory hold while recent frees are still checked.
  ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=16:log_path=$logs/asan" \
  LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan" \
    run_tests "$build"
}

tsan() {
  local build=${VELTO_TSAN_BUILD_DIR:-$top/build-tsan}
  configure "$build" thread
  cmake --build "$build" -j2 --target "${tsan_tests[@]}" velto-find
  local logs=$build/sanitizer-logs
  local pattern
  pattern=$(IFS='|'; echo "^(${tsan_tests[*]})\$")
  TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=0:second_deadlock_stack=1:log_path=$logs/tsan" \
    run_tests "$build" -R "$pattern"
}

fuzz() {
  VELTO_WITH_CLANG=1 "$top/scripts/install-deps.sh"
  "$top/scripts/fuzz.sh" "${VELTO_FUZZ_SECONDS:-3}" "${VELTO_FUZZ_BUILD_DIR:-$top/build-fuzz}" \
    xmlzip rtf compound pdf
}

valgrind() {
  local build=${VELTO_BUILD_DIR:-$top/build} work status=0
  # The build as the tests left it: configuring it again with other options
  # would rebuild all of it.
  [ -f "$build/CMakeCache.txt" ] || "$top/scripts/build.sh" >/dev/null
  cmake --build "$build" -j2 --target test_contentmatcher velto-find velto-worker >/dev/null
  work=$(mktemp -d)
  local memcheck=(command valgrind --quiet --error-exitcode=99 --errors-for-leak-kinds=none)
  "${memcheck[@]}" "$build/bin/test_contentmatcher" -silent utf32TextsOutsideTheBmpRoundTrip \
    deepIssueCases || status=1
  printf 'emoji \360\237\230\200 here and \360\220\220\267 deseret\n' |
    iconv -f UTF-8 -t UTF-32 > "$work/deseret.txt"  # a mark, then little endian
  local expected got
  expected=$(printf '{"dir": "%s", "file": "deseret.txt", "line": 1, "text": "[UTF-32LE]\\temoji \360\237\230\200 here and \360\220\220\267 deseret"}' "$work")
  got=$(cd "$work" && "${memcheck[@]}" "$build/bin/velto-find" --json -d -c deseret "$work") || status=1
  if [ "$got" != "$expected" ]; then
    echo "velto-find under valgrind printed: $got" >&2
    status=1
  fi
  rm -rf "$work"
  return $status
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(asan tsan fuzz valgrind)
status=0
for kind in "${kinds[@]}"; do
  case $kind in asan | tsan | fuzz | valgrind) ;; *) echo "unknown build: $kind" >&2; exit 2 ;; esac
  echo "== $kind tests" >&2
  "$kind" || status=1
done
exit $status
