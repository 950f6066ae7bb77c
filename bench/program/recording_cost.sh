#!/usr/bin/env bash
# The whole program's cost with and without the motion recorder: one headless run on the Test
# Pattern at 1280 x 720, 10 frames per second, ten zones in Simple Mode at the highest
# sensitivity (the ball keeps at least one zone in motion, so the motion recording runs
# throughout), measured with /usr/bin/time. Usage: bench/program/recording_cost.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-30}"
program=./build/app/tandrel
[ -x "$program" ] || { echo "build the program first (./scripts/build.sh)" >&2; exit 1; }

zones=()
for i in 0 1 2 3 4; do
  zones+=(--zone "$((i * 256)),0,$((i * 256 + 256)),360" --zone "$((i * 256)),360,$((i * 256 + 256)),720")
done

run() {  # $1: label, $2: 1 to record motion, 0 not to
  local home
  home="$(mktemp -d)"
  mkdir -p "$home/config/Vantrelle Media Solutions"
  # Format 14 of the Test Pattern: 1280 x 720 at 10 frames per second.
  printf '[CameraManager]\nFormatIndex=14\nUseMotionDetectionVideoLogging=%s\n' "$2" \
    > "$home/config/Vantrelle Media Solutions/Tandrel.conf"
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    TANDREL_AUDIO_SINK=fakesink TANDREL_VIDEO_SINK=fakesink TANDREL_INSTANCE_NAME="bench-$$-$1" \
    /usr/bin/time -f "%U %S %M" -o "$home/time" \
    "$program" --headless --seconds "$seconds" --mode 1 --sensitivity 100 "${zones[@]}" \
    > "$home/events" 2> /dev/null
  read -r user system rss < "$home/time"
  local recordings
  recordings=$(grep -c recording_finished "$home/events" || true)
  awk -v l="$1" -v u="$user" -v s="$system" -v m="$rss" -v t="$seconds" -v r="$recordings" \
    'BEGIN { printf "%-16s CPU %6.1f ms per s   peak RSS %6.1f MB   recordings %d\n", l, (u + s) * 1000 / t, m / 1024, r }'
  rm -rf "$home"
}

run "recording off" 0
run "recording on" 1
