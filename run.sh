#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tandrel: its window on a desktop; without a
# display, a 30-second headless run on the default camera with a zone across the Test Pattern's
# ball, its events printed as JSON lines.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ $# -eq 0 ]; then
  echo "No display: watching the default camera for 30 seconds without a window." >&2
  exec ./build/app/tandrel --headless --seconds 30 --mode 1 --sensitivity 95 --zone 0,80,320,160
fi
exec ./build/app/tandrel "$@"
