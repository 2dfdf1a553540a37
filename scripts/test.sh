#!/usr/bin/env bash
# Builds the project and runs every test. Tests that need a real X server
# (the clipboard) run under Xvfb; the others run offscreen.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh"
cd "${VELTO_BUILD_DIR:-$top/build}"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@"
