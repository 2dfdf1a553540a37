#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for the given number of
# seconds (default 600), one after the other, niced:
#   fuzz_content  the content matcher against the QTextStream reading
#   fuzz_rar      the RAR walker
#   fuzz_zip      the ZIP walker
#   fuzz_tar      the name search's tar listing from headers, against the walk
#   fuzz_lzop     the lzop decoder (.lzo, and a tar in it)
#   fuzz_xmlzip   the document readers of XML in ZIP (OOXML, OpenDocument,
#                 EPUB) and flat OpenDocument
#   fuzz_rtf      the RTF reader
#   fuzz_compound the Word, Excel and PowerPoint 97 readers (compound files)
#   fuzz_pdf      the PDF reader through Poppler
#   scripts/fuzz.sh [seconds] [build-dir] [target...]
# Each target's log is <build-dir>/fuzz-<target>.log; a crash leaves its input
# as <build-dir>/crash-<target>-*. The script fails when a target crashed.
set -eu
seconds=${1:-600}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-${TMPDIR:-/tmp}/velto-build-fuzz}
[ $# -gt 2 ] && shift 2 || set -- content rar zip tar lzop xmlzip rtf compound pdf
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELTO_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
for kind in "$@"; do
  cmake --build "$build" --target "fuzz_$kind" -j2
done

# A document seed: the byte that picks the format in the family (see
# bench/fuzz/fuzz_document.cpp), then a sample document.
seed_document() {  # corpus format-byte sample
  { printf "\\$(printf '%03o' "$2")"; cat "$root/tests/data/documents/$3"; } >"$1/$3"
}

seed_corpus() {
  corpus=$1
  [ -z "$(ls -A "$corpus")" ] || return 0
  case $2 in
  xmlzip)
    seed_document "$corpus" 0 sample.docx
    seed_document "$corpus" 0 runs.docx
    seed_document "$corpus" 1 sample.xlsx
    seed_document "$corpus" 2 sample.pptx
    seed_document "$corpus" 3 sample.odt
    seed_document "$corpus" 3 sample.ods
    seed_document "$corpus" 4 sample.epub
    seed_document "$corpus" 5 sample.fods ;;
  rtf)
    seed_document "$corpus" 0 sample.rtf ;;
  compound)
    seed_document "$corpus" 0 sample.doc
    seed_document "$corpus" 1 sample.xls
    seed_document "$corpus" 2 sample.ppt ;;
  pdf)
    seed_document "$corpus" 0 sample.pdf ;;
  rar)
    cp "$root"/tests/data/rar/*.rar "$corpus"/ 2>/dev/null || true ;;
  zip)
    seed=$(mktemp -d)
    mkdir -p "$seed/x/" && printf 'one\na line\n' >"$seed/x/a.txt" && printf 'b\n' >"$seed/b.doc"
    (cd "$seed" && zip -qr "$corpus/seed-deflated.zip" x b.doc && zip -q0r "$corpus/seed-stored.zip" x)
    rm -rf "$seed" ;;
  tar)
    # GNU and POSIX headers of a folder, files and a link (uncompressed: the
    # target gzips each input too).
    seed=$(mktemp -d)
    mkdir -p "$seed/x/" && printf 'one\na line\n' >"$seed/x/a.txt" && ln -s a.txt "$seed/x/l"
    tar -C "$seed" --format=gnu -cf "$corpus/seed-gnu.tar" x
    tar -C "$seed" --format=ustar -cf "$corpus/seed-ustar.tar" x
    rm -rf "$seed" ;;
  lzop)
    # Each kind of block lzop writes: compressed and stored, both checksums,
    # the delta filter.
    seed=$(mktemp -d)
    printf 'one\na line\nneedle a\n' >"$seed/a.txt"
    head -c 3000 /dev/urandom | base64 >"$seed/b.txt"
    lzop -c "$seed/a.txt" "$seed/b.txt" >"$corpus/seed-adler.lzo"
    lzop -c --crc32 --filter=3 "$seed/b.txt" >"$corpus/seed-crc-filter.lzo"
    tar -C "$seed" -cf - a.txt | lzop -c >"$corpus/seed-tar.lzo"
    rm -rf "$seed" ;;
  content)
    # Flags, text length - 1, repeat root, text, then the file's repeated part
    # (see fuzz_content.cpp).
    printf '\000\005\000needleone\nneedle two\r\nthree' >"$corpus/normal"
    printf '\000\005\377needleone needle two\r\n' >"$corpus/long-file"
    printf '\003\000\000aA\nb\rA\r\n' >"$corpus/deep-ignore-case"
    printf '\026\005\000\351\234\200\350\246\201\377\376\000\220\201\211\n\000' >"$corpus/utf-16-bom"
    printf '\012\002\000\260\241x\n\260\241\n\262\242' >"$corpus/gbk" ;;
  esac
}

status=0
for kind in "$@"; do
  corpus=$build/corpus-$kind
  mkdir -p "$corpus"
  seed_corpus "$corpus" "$kind"
  # Deep mode reads an input once per codec: short inputs keep it fast.
  max_len=65536
  [ "$kind" = content ] && max_len=4096
  echo "== fuzz_$kind for ${seconds}s (log: $build/fuzz-$kind.log)"
  # -jobs=1 runs the fuzzer in a child whose output goes to fuzz-0.log.
  # libarchive asks malloc for absurd sizes on some damaged headers and handles
  # the refusal itself.
  rm -f "$build/fuzz-0.log"
  (cd "$build" && ASAN_OPTIONS=allocator_may_return_null=1 nice "$build/bin/fuzz_$kind" \
    -max_total_time="$seconds" -jobs=1 -workers=1 -max_len=$max_len -rss_limit_mb=2048 \
    -artifact_prefix="$build/crash-$kind-" "$corpus") || status=1
  mv "$build/fuzz-0.log" "$build/fuzz-$kind.log"
  grep '^#' "$build/fuzz-$kind.log" | tail -1
  if grep -q 'ERROR: libFuzzer\|ERROR: AddressSanitizer\|runtime error' "$build/fuzz-$kind.log"; then
    echo "fuzz_$kind crashed; see $build/fuzz-$kind.log"
    status=1
  fi
done
exit $status
