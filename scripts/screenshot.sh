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
# Let the ball cross the middle zone a few times.
scripts/photograph-live.sh "$out" "${TANDREL_SHOT_DELAY:-4}"
