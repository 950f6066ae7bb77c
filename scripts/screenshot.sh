#!/usr/bin/env bash
# Photographs the running program on a virtual X server: the Test Pattern live at 320 x 240,
# a zone across the middle of the picture and a small one in its top-left corner, detection
# active in Simple Mode. Writes docs/live-zones.png, or the file given as the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs/live-zones.png}")"
./scripts/install-deps.sh
./scripts/build.sh >/dev/null

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/Vantrelle Media Solutions"
alarm="$(pwd)/build/app/SoundAlarms/Clock Alarm.wav"
# Zone n's values: left, top, right, bottom in picture pixels, its alarm switched on.
zone() {
  printf 'Zone%%20%s_Rect_Left=%s\nZone%%20%s_Rect_Top=%s\n' "$1" "$2" "$1" "$3"
  printf 'Zone%%20%s_Rect_Right=%s\nZone%%20%s_Rect_Bottom=%s\n' "$1" "$4" "$1" "$5"
  printf 'Zone%%20%s_SoundVideoAlarm_Enabled=1\nZone%%20%s_SoundVideoAlarm_FileName=%s\n' \
    "$1" "$1" "$alarm"
}
# The default window shows the picture 648 x 486: a band across its middle, a corner patch.
{
  printf '[CameraManager]\nCameraIndex=0\nFormatIndex=0\n'
  printf 'MotionDetectionMode=1\nMotionDetectionSensitivity=100\n'
  zone 1 0 162 648 324
  zone 2 0 0 30 24
} >"$home/.config/Vantrelle Media Solutions/Tandrel.conf"

export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/data"
export TANDREL_INSTANCE_NAME="screenshot-$$"
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
  # Let the ball cross the middle zone a few times.
  sleep "${TANDREL_SHOT_DELAY:-4}"
  gst-launch-1.0 -q ximagesrc num-buffers=1 use-damage=false ! videoconvert ! pngenc ! filesink location="'"$out"'"
  kill -TERM $app
  wait $app || true
'
echo "Wrote $out"
