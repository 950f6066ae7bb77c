#!/usr/bin/env bash
# Starts the built program on a virtual X server with the settings home already exported,
# clicks Activate, waits DELAY seconds and photographs the screen into OUT.
# Usage (from the repository root): scripts/photograph-live.sh OUT DELAY
set -euo pipefail
out="$1"
delay="$2"
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
  set -e
  build/app/tandrel &
  app=$!
  window=""
  for _ in $(seq 50); do
    window="$(xdotool search --onlyvisible --name "^Tandrel" 2>/dev/null | head -n1 || true)"
    [ -n "$window" ] && break
    sleep 0.2
  done
  if [ -z "$window" ]; then echo "the main window did not appear" >&2; kill -TERM $app; exit 1; fi
  sleep 2
  # The third button of the row under the picture is Activate.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" 329 $((HEIGHT - 18)) click 1
  sleep "'"$delay"'"
  gst-launch-1.0 -q ximagesrc num-buffers=1 use-damage=false ! videoconvert ! pngenc ! filesink location="'"$out"'"
  kill -TERM $app
  wait $app || true
'
echo "Wrote $out"
