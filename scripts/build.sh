#!/usr/bin/env bash
# Configures and builds the project into build/ (or $VELTO_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build=${VELTO_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=${VELTO_BUILD_TYPE:-RelWithDebInfo} \
  -DVELTO_WERROR=${VELTO_WERROR:-OFF} "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
