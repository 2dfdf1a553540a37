#!/usr/bin/env bash
# Brings translations/velto_en.ts up to date with the texts in the code and
# the forms: new tr() texts are added unfinished, texts no longer used are
# dropped. Translate the new entries (Qt Linguist, or by hand between the
# <translation> tags), then rebuild: CMake makes the .qm the program loads.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
lupdate -silent -locations none -no-obsolete -source-language zh_CN -target-language en \
  ui app -ts translations/velto_en.ts
