#!/usr/bin/env bash
# Stress runs, by hand and never in CI. Each part prints its figures and fails
# on a crash, a hang or a broken promise:
#   root    velto-find -c WORD / over the whole machine ends in bounded time and
#           opens no device, FIFO or socket, and no file of /proc or /sys
#           (strace), and memory stays bounded (/usr/bin/time -v)
#   trees   a tree of 1,000,000 empty files, a tree 2,000 folders deep and one
#           deeper than PATH_MAX: time and peak memory of name and content searches
#   cycles  500 start/stop cycles of the search thread at random moments, in an
#           AddressSanitizer + LeakSanitizer build (bench/stopcycles.cpp)
#   churn   searches as user nobody while bench/churn.py deletes, rewrites and
#           locks files and folders, with the sanitizer build of velto-find
#
#   bench/stress.sh [part...]      (default: all four; needs root for churn)
# Build folders: $VELTO_STRESS_BUILD (release, default /tmp/velto-build-stress)
# and $VELTO_STRESS_ASAN_BUILD (default /tmp/velto-build-stress-asan); trees
# go below $VELTO_STRESS_DIR (default /tmp/velto-stress).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
release=${VELTO_STRESS_BUILD:-/tmp/velto-build-stress}
asan=${VELTO_STRESS_ASAN_BUILD:-/tmp/velto-build-stress-asan}
work=${VELTO_STRESS_DIR:-/tmp/velto-stress}
word=Xylophonequartz
mkdir -p "$work"
chmod 755 "$work"

for tool in strace /usr/bin/time setpriv; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install strace time util-linux)" >&2; exit 2; }
done

build_release() {
  cmake -S "$top" -B "$release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$release" --target velto-find -j2 >/dev/null
}

build_asan() {
  cmake -S "$top" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_BENCH=ON \
    -DVELTO_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS=-fno-sanitize-recover=undefined \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
  cmake --build "$asan" --target velto-find velto-stop-cycles -j2 >/dev/null
}

# Runs a command under /usr/bin/time -v; prints wall time, peak memory and the
# exit status; fails unless the status is 0 (hits) or 1 (no hit).
timed() {  # label command...
  local label=$1 log=$work/time.log status=0
  shift
  /usr/bin/time -v -o "$log" "$@" >/dev/null 2>"$work/stderr.log" || status=$?
  printf '%-44s %8s s  %8s KiB peak  exit %s\n' "$label" \
    "$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")" \
    "$(awk -F': ' '/Maximum resident/ {print $2}' "$log")" "$status"
  if [ "$status" -gt 1 ]; then
    head -20 "$work/stderr.log" >&2
    return 1
  fi
}

part_root() {
  build_release
  local find=$release/bin/velto-find trace=$work/openat.log
  echo "== velto-find -c $word / (whole machine)"
  timed "content search of /" timeout 3600 "$find" -c "$word" /
  timeout 3600 strace -f -qq -o "$trace" -e trace=openat "$find" -c "$word" / >/dev/null 2>&1 || true
  # Opens for reading of anything below /dev, /proc or /sys, leaving out
  # folders (O_DIRECTORY) and handles that cannot read (O_PATH).
  local opened
  opened=$(grep -E 'openat\([^"]*"/(dev|proc|sys)/' "$trace" | grep -v -e O_DIRECTORY -e O_PATH \
    | grep -v '= -1 ' | sed -E 's/^[0-9]+ +//' | sort | uniq -c | sort -rn || true)
  echo "openat calls traced: $(wc -l <"$trace")"
  if [ -n "$opened" ]; then
    echo "files of /dev, /proc or /sys opened for reading:"
    echo "$opened" | head -20
    return 1
  fi
  echo "no file of /dev, /proc or /sys opened for reading"
}

part_trees() {
  build_release
  local find=$release/bin/velto-find
  local many=$work/million deep=$work/deep deeper=$work/deeper
  if [ ! -e "$many/.complete" ]; then
    echo "making 1,000,000 empty files in 1,000 folders..."
    rm -rf "$many"
    python3 - "$many" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(1000):
    folder = os.path.join(root, "d%03d" % d)
    os.makedirs(folder)
    for f in range(1000):
        open(os.path.join(folder, "f%03d.txt" % f), "wb").close()
open(os.path.join(root, ".complete"), "wb").close()
PY
  fi
  # 2,000 folders "d" deep stays below PATH_MAX; 2,000 folders "ddd" goes
  # beyond it, where paths can no longer be opened whole.
  python3 - "$deep" d "$deeper" ddd "$word" <<'PY'
import os, sys
word = sys.argv[5]
for root, name in ((sys.argv[1], sys.argv[2]), (sys.argv[3], sys.argv[4])):
    if os.path.exists(os.path.join(root, ".complete")):
        continue
    os.makedirs(root, exist_ok=True)
    fd = os.open(root, os.O_RDONLY)
    for _ in range(2000):
        try:
            os.mkdir(name, dir_fd=fd)
        except FileExistsError:
            pass
        inner = os.open(name, os.O_RDONLY, dir_fd=fd)
        os.close(fd)
        fd = inner
    with open(os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd), "w") as f:
        f.write("a line with %s\n" % word)
    os.close(fd)
    open(os.path.join(root, ".complete"), "wb").close()
PY
  echo "== trees"
  timed "name search, 1,000,000 empty files" "$find" -n '*' "$many"
  timed "content search, 1,000,000 empty files" "$find" -c "$word" "$many"
  timed "deep search, 1,000,000 empty files" "$find" -d -c "$word" "$many"
  timed "content search, 2,000 folders deep" "$find" -c "$word" "$deep"
  local found
  found=$("$find" -c "$word" "$deep" | grep -c "$word" || true)
  echo "hits at the bottom of the deep tree: $found (expected 1)"
  [ "$found" = 1 ] || return 1
  timed "content search, deeper than PATH_MAX" "$find" -c "$word" "$deeper"
  timed "name search, deeper than PATH_MAX" "$find" -n '*' "$deeper"
}

part_cycles() {
  build_asan
  local tree=$work/cycles
  if [ ! -d "$tree" ]; then
    mkdir -p "$tree"
    for d in $(seq 20); do
      mkdir -p "$tree/d$d/sub"
      for f in $(seq 20); do
        printf 'one line\nthe needle here\n%.0s' $(seq 40) >"$tree/d$d/f$f.txt"
      done
      printf 'needle\n' >"$tree/d$d/sub/needle.txt"
      (cd "$tree/d$d" && zip -qr inner.zip f1.txt f2.txt sub)
    done
  fi
  echo "== 500 start/stop cycles (AddressSanitizer + LeakSanitizer)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$asan/bin/velto-stop-cycles" "$tree" 500 "${VELTO_STRESS_SEED:-$RANDOM}"
}

part_churn() {
  [ "$(id -u)" = 0 ] || { echo "churn needs root, to search as user nobody" >&2; return 1; }
  build_asan
  local tree=$work/churn logs=$work/churn-logs failures=0
  rm -rf "$tree" "$logs"
  mkdir -p "$logs" && chmod 1777 "$logs"
  for d in $(seq 200); do
    mkdir -p "$tree/d$d"
    for f in $(seq 0 19); do printf 'needle a line\n' >"$tree/d$d/f$f.txt"; done
  done
  chmod -R a+rX "$tree"
  echo "== searches as nobody while the tree changes (60 s)"
  python3 "$top/bench/churn.py" "$tree" 60 &
  local churn=$! runs=0
  while kill -0 "$churn" 2>/dev/null; do
    for options in "-c needle" "-c needle -d" "-n *.txt" "-c needle -i"; do
      local status=0 args
      read -ra args <<<"$options"
      ASAN_OPTIONS="detect_leaks=1:log_path=$logs/asan" \
      UBSAN_OPTIONS="halt_on_error=1:log_path=$logs/ubsan" \
        setpriv --reuid=65534 --regid=65534 --clear-groups \
        "$asan/bin/velto-find" "${args[@]}" "$tree" >/dev/null 2>"$logs/stderr" || status=$?
      runs=$((runs + 1))
      if [ "$status" -gt 1 ] || [ -s "$logs/stderr" ]; then
        echo "velto-find $options: exit $status"; head -5 "$logs/stderr"
        failures=$((failures + 1))
      fi
    done
  done
  wait "$churn"
  if compgen -G "$logs/[au]*san.*" >/dev/null; then
    cat "$logs"/[au]*san.*
    failures=$((failures + 1))
  fi
  echo "$runs searches while the tree changed, $failures failed"
  [ "$failures" = 0 ]
}

parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(root trees cycles churn)
status=0
for part in "${parts[@]}"; do
  case $part in root | trees | cycles | churn) ;; *) echo "unknown part: $part" >&2; exit 2 ;; esac
  "part_$part" || { echo "** $part failed"; status=1; }
done
exit $status
