#!/usr/bin/env bash
# Builds the program and starts it; extra arguments go to the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available: start Velto from a desktop session (or under xvfb-run)." >&2
  exit 1
fi
"$top/scripts/build.sh"
exec "${VELTO_BUILD_DIR:-$top/build}/bin/velto-search" "$@"
