#!/usr/bin/env bash
# Photographs the video log at work on a virtual X server: a first run records the Test Pattern's
# ball crossing a zone; a second run opens Show Videos List, plays the recording and photographs
# the preview window. Writes docs/preview-playing.png, or the file given as the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs/preview-playing.png}")"
./scripts/install-deps.sh
./scripts/build.sh >/dev/null

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/Vantrelle Media Solutions"
# One zone across the middle of the 648 x 486 picture, where the ball passes.
{
  printf '[CameraManager]\nCameraIndex=0\nFormatIndex=0\n'
  printf 'MotionDetectionMode=1\nMotionDetectionSensitivity=100\n'
  printf 'Zone%%201_Rect_Left=0\nZone%%201_Rect_Top=162\nZone%%201_Rect_Right=648\n'
  printf 'Zone%%201_Rect_Bottom=324\nZone%%201_SoundVideoAlarm_Enabled=0\n'
} >"$home/.config/Vantrelle Media Solutions/Tandrel.conf"

export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/data"
export TANDREL_INSTANCE_NAME="screenshot-$$" TANDREL_AUDIO_SINK=fakesink
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
  set -e
  main_window() {
    for _ in $(seq 50); do
      window="$(xdotool search --onlyvisible --name "^Tandrel" 2>/dev/null | head -n1 || true)"
      [ -n "$window" ] && { echo "$window"; return; }
      sleep 0.2
    done
    echo "the main window did not appear" >&2; return 1
  }
  wait_window() {
    for _ in $(seq 75); do
      found="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
      [ -n "$found" ] && { echo "$found"; return; }
      sleep 0.2
    done
    echo "no window named $1 appeared" >&2; return 1
  }
  # Buttons under the picture, 130 wide with 2 between: Activate is the third, Show Videos List
  # the seventh.
  button() { echo $((65 + ($1 - 1) * 132)); }

  build/app/tandrel & app=$!
  window="$(main_window)"; sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" "$(button 3)" $((HEIGHT - 18)) click 1
  sleep 8
  kill -TERM $app; wait $app || true
  ls "$XDG_DATA_HOME"/Vantrelle/Tandrel/MotionDetection/LogInfo/*.vli >/dev/null

  build/app/tandrel & app=$!
  window="$(main_window)"; sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --window "$window" "$(button 7)" $((HEIGHT - 18)) click 1
  log="$(wait_window "^Video Log")"; sleep 1
  # Play Video, bottom left of the list window.
  eval "$(xdotool getwindowgeometry --shell "$log")"
  xdotool mousemove --window "$log" 58 $((HEIGHT - 29)) click 1
  preview="$(wait_window "^Rec_")"
  xdotool windowsize "$preview" 560 470; xdotool mousemove 1390 890
  sleep "${TANDREL_SHOT_DELAY:-2}"
  gst-launch-1.0 -q ximagesrc xid="$preview" num-buffers=1 use-damage=false ! videoconvert ! \
    pngenc ! filesink location="'"$out"'"
  kill -TERM $app
  wait $app || true
'
echo "Wrote $out"
