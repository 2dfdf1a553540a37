#!/usr/bin/env bash
# Takes the screenshots in docs/: the window on an 800x600 screen in English
# and in Chinese with a content search done and the preview open, with the
# more conditions folded and unfolded, and in English over documents (the
# sample documents of tests/data, one in a ZIP), on Xvfb with openbox as the
# window manager, typed into with xdotool and taken with ImageMagick's import.
#   scripts/screenshots.sh [build-dir]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
"$top/scripts/install-deps.sh" xdotool openbox imagemagick zip
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# A small tree to search: notes, a report in Chinese, some code.
tree=$work/documents
mkdir -p "$tree/notes" "$tree/报告" "$tree/src"
printf 'Agenda\nmeeting at noon with the team\nbring the plan\n' >"$tree/notes/plan.txt"
printf 'Minutes\nthe meeting moved to Friday\n' >"$tree/notes/minutes.txt"
printf '季度报告\n本季度的 meeting 记录见附件\n销售增长百分之十二\n' >"$tree/报告/季度报告.txt"
for i in $(seq 1 40); do printf 'line %d\n' "$i"; done >"$tree/src/log.txt"
printf 'meeting room booked\n' >>"$tree/src/log.txt"

# Documents made by real writers (tests/data/README.md).
samples=$top/tests/data/documents
papers=$work/papers
mkdir -p "$papers/reports" "$work/zip"
cp "$samples/sample.docx" "$papers/contract.docx"
cp "$samples/sample.pdf" "$papers/reports/annual report.pdf"
cp "$samples/sample.xlsx" "$papers/reports/budget.xlsx"
cp "$samples/sample.pptx" "$papers/slides.pptx"
cp "$samples/sample.doc" "$papers/old letter.doc"
cp "$samples/sample.odt" "$work/zip/notes.odt"
(cd "$work/zip" && zip -q "$papers/archive.zip" notes.odt)

display=:77
Xvfb $display -screen 0 800x600x24 -nolisten tcp &
sleep 1
DISPLAY=$display openbox &
sleep 1

shoot() {  # language, output file, folder, text, rows down, more conditions unfolded (yes/no)
  local config=$work/config-$1
  mkdir -p "$config/velto"
  printf '[window]\npreview=true\n' >"$config/velto/velto-search.conf"
  DISPLAY=$display LANG=$1 LANGUAGE= LC_ALL= XDG_CONFIG_HOME=$config \
    "$build/bin/velto-search" "$3" &
  local app=$!
  local id=""
  for _ in $(seq 50); do
    id=$(DISPLAY=$display xdotool search --onlyvisible --name Velto 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.2
  done
  export DISPLAY=$display
  # The whole screen, less openbox's title bar.
  xdotool windowmove "$id" 0 0 windowsize "$id" 800 578 windowactivate --sync "$id"
  sleep 0.5
  # The content field follows the name field; Return searches.
  xdotool key --window "$id" Tab
  xdotool type --delay 40 "$4"
  xdotool key Return
  sleep 2
  # Through the form to the more conditions' button, then on to the table
  # (through the conditions when they are unfolded), then the second hit.
  for _ in $(seq 10); do xdotool key Tab; done
  local rest=1
  if [ "$6" = yes ]; then
    xdotool key space
    rest=14
  fi
  for _ in $(seq $rest); do xdotool key Tab; done
  for _ in $(seq "$5"); do xdotool key Down; done
  sleep 1.5
  import -window root "$2"
  kill "$app"
  wait "$app" 2>/dev/null || true
}

shoot en_US.UTF-8 "$top/docs/screenshot-en.png" "$tree" meeting 2 no
shoot zh_CN.UTF-8 "$top/docs/screenshot-zh.png" "$tree" meeting 2 no
shoot en_US.UTF-8 "$top/docs/more-conditions-en.png" "$tree" meeting 2 yes
shoot zh_CN.UTF-8 "$top/docs/more-conditions-zh.png" "$tree" meeting 2 yes
shoot en_US.UTF-8 "$top/docs/screenshot-documents.png" "$papers" fox 2 no
echo "docs/screenshot-en.png, docs/screenshot-zh.png, docs/more-conditions-en.png," \
  "docs/more-conditions-zh.png, docs/screenshot-documents.png"
