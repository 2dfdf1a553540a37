#!/usr/bin/env bash
# Stress runs, by hand and never in CI. Each part prints its figures and fails
# on a crash, a hang or a broken promise:
#   root    velto-find -c WORD / over the whole machine ends in bounded time and
#           opens no device, FIFO or socket, and no file of /proc or /sys
#           (strace), and memory stays bounded (/usr/bin/time -v)
#   trees   a tree of 1,000,000 empty files, a tree 2,000 folders deep, one
#           deeper than PATH_MAX and a chain of 100,000 folders (all searched
#           to the bottom), a folder with a million hits and a ZIP member with
#           ten million: time and peak memory of name and content searches;
#           the hits must all be printed and velto-find's peak memory stay
#           under 64 MB (but in the chain, which holds a listing per level)
#   cycles  500 start/stop cycles of the search thread and its workers at random
#           moments, in an AddressSanitizer + LeakSanitizer build and in a
#           ThreadSanitizer build (bench/stopcycles.cpp)
#   churn   searches as user nobody while bench/churn.py deletes, rewrites and
#           locks files and folders, with the sanitizer build of velto-find
#   archives a ZIP (ZIP64) and a tar.gz each holding one member of 4 GiB of
#           zeros and then a line with the word: found at its line, in
#           streaming time and bounded memory, and a stop inside the member;
#           a ZIP of 65,535 entries that all point at one 16 MiB member
#
#   bench/stress.sh [part...]      (default: all five; needs root for churn)
# Build folders: $VELTO_STRESS_BUILD (release, default /tmp/velto-build-stress),
# $VELTO_STRESS_ASAN_BUILD (default /tmp/velto-build-stress-asan) and
# $VELTO_STRESS_TSAN_BUILD (default /tmp/velto-build-stress-tsan); trees
# go below $VELTO_STRESS_DIR (default /tmp/velto-stress).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
release=${VELTO_STRESS_BUILD:-/tmp/velto-build-stress}
asan=${VELTO_STRESS_ASAN_BUILD:-/tmp/velto-build-stress-asan}
tsan=${VELTO_STRESS_TSAN_BUILD:-/tmp/velto-build-stress-tsan}
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

build_tsan() {
  cmake -S "$top" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_BENCH=ON -DBUILD_TESTING=OFF \
    -DVELTO_SANITIZE=thread -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
  cmake --build "$tsan" --target velto-stop-cycles -j2 >/dev/null
}

# Runs a command under /usr/bin/time -v; prints wall time, peak memory, the
# exit status and the lines printed; fails unless the status is 0 (hits) or
# 1 (no hit). $expect_lines and $max_kib, when set, are checked too.
timed() {  # label command...
  local label=$1 log=$work/time.log status=0 lines peak
  shift
  /usr/bin/time -v -o "$log" "$@" 2>"$work/stderr.log" | wc -l >"$work/lines" || status=$?
  lines=$(cat "$work/lines")
  peak=$(awk -F': ' '/Maximum resident/ {print $2}' "$log")
  printf '%-44s %8s s  %8s KiB peak  exit %s  %s lines\n' "$label" \
    "$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log")" "$peak" "$status" "$lines"
  if [ "$status" -gt 1 ]; then
    head -20 "$work/stderr.log" >&2
    return 1
  fi
  if [ -n "${expect_lines:-}" ] && [ "$lines" != "$expect_lines" ]; then
    echo "expected $expect_lines lines" >&2
    return 1
  fi
  if [ -n "${max_kib:-}" ] && [ "$peak" -ge "$max_kib" ]; then
    echo "peak memory of $peak KiB is not under $max_kib KiB" >&2
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
  local many=$work/million deep=$work/deep deeper=$work/deeper chain=$work/chain
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
  # beyond it, where paths can no longer be opened whole; 100,000 folders
  # "d" deep would exhaust the stack of a walk that called itself per level.
  python3 - "$word" "$deep" d 2000 "$deeper" ddd 2000 "$chain" d 100000 <<'PY'
import os, sys
word = sys.argv[1]
for root, name, depth in zip(sys.argv[2::3], sys.argv[3::3], sys.argv[4::3]):
    if os.path.exists(os.path.join(root, ".complete")):
        continue
    os.makedirs(root, exist_ok=True)
    fd = os.open(root, os.O_RDONLY)
    for _ in range(int(depth)):
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
  # One folder with a million hits, and a ZIP member with ten million lines
  # of the word that packs into a few hundred KB.
  local hits=$work/hits
  if [ ! -e "$hits/.complete" ]; then
    rm -rf "$hits"
    mkdir -p "$hits/folder" "$hits/zip"
    python3 - "$hits" "$word" <<'PY'
import os, sys, zipfile
root, word = sys.argv[1], sys.argv[2]
line = (word + "\n").encode()
with open(os.path.join(root, "folder", "million.txt"), "wb") as f:
    f.write(line * 1000000)
with zipfile.ZipFile(os.path.join(root, "zip", "lines.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("lines.txt", "w", force_zip64=True) as member:
        for _ in range(100):
            member.write(line * 100000)
open(os.path.join(root, ".complete"), "wb").close()
PY
  fi
  echo "== trees"
  timed "name search, 1,000,000 empty files" "$find" -n '*' "$many"
  timed "content search, 1,000,000 empty files" "$find" -c "$word" "$many"
  timed "deep search, 1,000,000 empty files" "$find" -d -c "$word" "$many"
  expect_lines=1 timed "content search, 2,000 folders deep" "$find" -c "$word" "$deep"
  expect_lines=1 timed "content search, deeper than PATH_MAX" "$find" -c "$word" "$deeper"
  expect_lines=2001 timed "name search, deeper than PATH_MAX" "$find" -n '*' "$deeper"
  expect_lines=1 timed "name search, 100,000 folders deep" "$find" -x -n bottom.txt "$chain"
  expect_lines=1 timed "content search, 100,000 folders deep" "$find" -c "$word" "$chain"
  expect_lines=1000000 max_kib=65536 timed "content search, 1,000,000 hits in a folder" \
    "$find" -c "$word" "$hits/folder"
  expect_lines=10000000 max_kib=65536 timed "content search, 10,000,000 hits in a ZIP" \
    "$find" -c "$word" "$hits/zip"
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
  local seed=${VELTO_STRESS_SEED:-$RANDOM}
  echo "== 500 start/stop cycles (AddressSanitizer + LeakSanitizer), seed $seed"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$asan/bin/velto-stop-cycles" "$tree" 500 "$seed"
  build_tsan
  echo "== 500 start/stop cycles (ThreadSanitizer), seed $seed"
  TSAN_OPTIONS="suppressions=$top/tests/sanitizers/tsan.supp:halt_on_error=1" \
    "$tsan/bin/velto-stop-cycles" "$tree" 500 "$seed"
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
      # The one line allowed counts what the churn made unreadable.
      sed -i '/^velto-find: .* could not be read$/d' "$logs/stderr"
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

part_archives() {
  build_release
  local dir=$work/archives
  rm -rf "$dir" && mkdir -p "$dir/zip64" "$dir/targz" "$dir/bomb"
  echo "== one member of 4 GiB of zeros, then the word (building the archives takes a minute)"
  python3 - "$dir" "$word" <<'PY'
import io, sys, tarfile, zipfile, zlib
out, word = sys.argv[1], sys.argv[2].encode()
size = 4 * 1024**3 + 1024**2
tail = b"\nthe " + word + b" after four gibibytes\n"

class Zeros(io.RawIOBase):
    """size zero bytes, then the tail"""
    def __init__(self):
        self.left = size + len(tail)
    def readable(self):
        return True
    def readinto(self, buffer):
        n = min(len(buffer), self.left)
        start = size + len(tail) - self.left
        data = bytes(max(0, min(n, size - start)))
        if len(data) < n:
            data += tail[max(0, start - size):][: n - len(data)]
        buffer[:n] = data
        self.left -= n
        return n

chunk = bytes(1 << 24)
with zipfile.ZipFile(f"{out}/zip64/zeros.zip", "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    with z.open("zeros.bin", "w", force_zip64=True) as f:
        for _ in range(size // len(chunk)):
            f.write(chunk)
        f.write(bytes(size % len(chunk)) + tail)
with tarfile.open(f"{out}/targz/zeros.tar.gz", "w:gz", compresslevel=1) as t:
    info = tarfile.TarInfo("zeros.bin")
    info.size = size + len(tail)
    t.addfile(info, io.BufferedReader(Zeros(), 1 << 24))

# 65,535 central entries that all point at one 16 MiB member.
line = b"the " + word + b" once\n"
data = (b"filler line\n" * (16 * 1024 * 1024 // 12))[: 16 * 1024 * 1024 - len(line)] + line
packed = zlib.compressobj(9, zlib.DEFLATED, -15)
body = packed.compress(data) + packed.flush()
crc = zlib.crc32(data)
le = lambda v, n: v.to_bytes(n, "little")
local = (le(0x04034B50, 4) + le(20, 2) + le(0, 2) + le(8, 2) + le(0, 4) + le(crc, 4)
         + le(len(body), 4) + le(len(data), 4) + le(5, 2) + le(0, 2) + b"m.txt" + body)
central = bytearray()
for i in range(65535):
    name = b"m%05d.txt" % i
    central += (le(0x02014B50, 4) + le(20, 2) * 2 + le(0, 2) + le(8, 2) + le(0, 4) + le(crc, 4)
                + le(len(body), 4) + le(len(data), 4) + le(len(name), 2) + le(0, 2) * 3
                + le(0, 2) + le(0, 4) + le(0, 4) + name)
end = (le(0x06054B50, 4) + le(0, 4) + le(65535, 2) * 2 + le(len(central), 4)
       + le(len(local), 4) + le(0, 2))
with open(f"{out}/bomb/bomb.zip", "wb") as f:
    f.write(local + central + end)
PY
  # The zeros hold no line end: the word is on line 2.
  local line=2 kind failures=0
  for kind in zip64 targz; do
    timed "content, 4 GiB member ($kind)" "$release/bin/velto-find" -c "$word" "$dir/$kind" || failures=$((failures + 1))
    local hit
    hit=$("$release/bin/velto-find" -c "$word" "$dir/$kind" | cut -d: -f2)
    echo "  hit at line $hit (expected $line)"
    [ "$hit" = "$line" ] || failures=$((failures + 1))
    local peak
    peak=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time.log")
    [ "$peak" -lt 65536 ] || { echo "  peak memory $peak KiB over 64 MiB"; failures=$((failures + 1)); }
    "$release/bin/velto-find" -c "$word" "$dir/$kind" >/dev/null &
    local pid=$! start
    sleep 1
    start=$(date +%s%N)
    kill -INT "$pid"
    wait "$pid" || true
    echo "  stop inside the member: $(( ($(date +%s%N) - start) / 1000000 )) ms"
  done
  timed "content, 65,535 entries on one member" "$release/bin/velto-find" -c "$word" "$dir/bomb" || failures=$((failures + 1))
  local overlaps hits
  overlaps=$(grep -c 'entries overlap' "$work/stderr.log")
  hits=$("$release/bin/velto-find" -c "$word" "$dir/bomb" 2>/dev/null | wc -l)
  echo "  $overlaps overlap diagnostic, $hits hit (expected 1 and 1)"
  [ "$overlaps" = 1 ] && [ "$hits" = 1 ] || failures=$((failures + 1))
  [ "$failures" = 0 ]
}

parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(root trees cycles churn archives)
status=0
for part in "${parts[@]}"; do
  case $part in root | trees | cycles | churn | archives) ;; *) echo "unknown part: $part" >&2; exit 2 ;; esac
  "part_$part" || { echo "** $part failed"; status=1; }
done
exit $status
