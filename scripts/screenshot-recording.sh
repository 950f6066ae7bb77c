#!/usr/bin/env bash
# Photographs the running program on a virtual X server while it records: the Test Pattern live
# at 320 x 240, one zone over the whole picture in Simple Mode at the highest sensitivity, so the
# moving ball keeps a motion recording running, and the continuous recording switched on. The
# picture then carries both recording marks. Writes docs/live-recording.png, or the file given as
# the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs/live-recording.png}")"
./scripts/install-deps.sh
# Only the program is needed.
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tandrel >/dev/null

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/Vantrelle Media Solutions"
# The default window shows the picture 648 x 486; the zone covers all of it, its alarm off.
{
  printf '[CameraManager]\nCameraIndex=0\nFormatIndex=0\n'
  printf 'MotionDetectionMode=1\nMotionDetectionSensitivity=100\n'
  printf 'UseMotionDetectionVideoLogging=1\nUseContinuallyRunningVideoLogging=1\n'
  printf 'Zone%%201_Rect_Left=0\nZone%%201_Rect_Top=0\nZone%%201_Rect_Right=648\n'
  printf 'Zone%%201_Rect_Bottom=486\nZone%%201_SoundVideoAlarm_Enabled=0\n'
} >"$home/.config/Vantrelle Media Solutions/Tandrel.conf"

export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/data"
export TANDREL_INSTANCE_NAME="screenshot-$$" TANDREL_AUDIO_SINK=fakesink
# The ball moves all the time: the motion recording starts at once and runs on.
scripts/photograph-live.sh "$out" "${TANDREL_SHOT_DELAY:-5}"
