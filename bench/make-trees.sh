#!/bin/sh
# Builds the benchmark trees below $1 (default /work/benchdata), never in the
# repository:
#   text/  >= 1 GB of real text: copies of the text files of /usr/include and
#          /usr/share, duplicated until the tree holds at least 1 GB
#   deep/  about 100 MB of the same files, for the deep-search run
#   names/ >= 200,000 entries: the folder and file names of /usr/include and
#          /usr/share as empty files (archive names left out), repeated
# Only files that GNU grep, ripgrep and velto-find all read as text are taken
# (valid UTF-8, no NUL bytes), and no hidden file or folder, no link, no
# archive, so that every tool sees the same files.
set -eu
out=${1:-/work/benchdata}
mkdir -p "$out"
list="$out/textfiles.list"

if [ ! -s "$list" ]; then
    find /usr/include /usr/share -name '.*' -prune -o -type f \
         ! -iname '*.zip' ! -iname '*.rar' -print0 2>/dev/null |
        LC_ALL=C.UTF-8 xargs -0 grep -IlZ '' 2>/dev/null |
        tr '\0' '\n' | LC_ALL=C grep -a '^[ -~]*$' > "$list.tmp"
    mv "$list.tmp" "$list"
fi

copy_list() {  # copy_list DEST LIST: copies the listed files, keeping their paths
    mkdir -p "$1"
    tar -cf - --files-from="$2" 2>/dev/null | tar -xf - -C "$1"
}

if [ ! -d "$out/text" ]; then
    copy_list "$out/text.tmp/copy0" "$list"
    n=1
    while [ "$(du -sb "$out/text.tmp" | cut -f1)" -lt 1073741824 ]; do
        cp -r "$out/text.tmp/copy0" "$out/text.tmp/copy$n"
        n=$((n + 1))
    done
    mv "$out/text.tmp" "$out/text"
fi

if [ ! -d "$out/deep" ]; then
    # The first listed files up to 100 MB.
    xargs -d '\n' stat -c '%s	%n' < "$list" 2>/dev/null | awk -F '\t' '{ t += $1; if (t > 100000000) exit; print $2 }' > "$out/deep.list"
    copy_list "$out/deep.tmp" "$out/deep.list"
    mv "$out/deep.tmp" "$out/deep"
fi

if [ ! -d "$out/names" ]; then
    (cd / && find usr/include usr/share -name '.*' -prune -o -type d -print) |
        LC_ALL=C grep -a '^[ -~]*$' > "$out/names-dirs.list"
    # No archive names: velto-find looks into archives in a name search too,
    # which fd and find do not, and these files would be empty ones.
    (cd / && find usr/include usr/share -name '.*' -prune -o ! -type d -print) |
        LC_ALL=C grep -a '^[ -~]*$' |
        grep -viE '\.(zip|jar|war|ear|apk|rar|7z|tar|tgz|tbz2?|txz|tzst|gz|bz2|xz|zst|cpio|iso|cab)$' \
        > "$out/names-files.list"
    for n in 0 1 2; do
        mkdir -p "$out/names.tmp/copy$n"
        (cd "$out/names.tmp/copy$n" &&
             xargs -d '\n' mkdir -p < "$out/names-dirs.list" &&
             xargs -d '\n' touch < "$out/names-files.list")
    done
    mv "$out/names.tmp" "$out/names"
fi

echo "text:  $(du -sh "$out/text" | cut -f1), $(find "$out/text" -type f | wc -l) files"
echo "deep:  $(du -sh "$out/deep" | cut -f1), $(find "$out/deep" -type f | wc -l) files"
echo "names: $(find "$out/names" | wc -l) entries"
