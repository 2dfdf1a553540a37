#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the program's sources, or
# over the files given, with the compile commands of build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" clang-tidy
build=${VELTO_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cd "$top"
if [ $# -eq 0 ]; then
  mapfile -t files < <(git ls-files 'app/*.cpp' 'cli/*.cpp' 'platform/*.cpp' 'search/*.cpp' 'ui/*.cpp')
else
  files=("$@")
fi
printf '%s\n' "${files[@]}" | xargs -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet
