#!/usr/bin/env bash
# The whole program's frame path cost on a file camera: a generated H.264 clip at 1280 x 720 and
# at 1920 x 1080 (10 frames per second, 8-bit 4:2:0 like camera streams; left to itself x264enc
# would pick 10-bit 4:4:4), each watched headless with ten zones, next to the bare
# decode pipeline of the same clip in the same run. Prints CPU ms per s of the program, of the
# baseline and their difference, the peak resident set of each, and the program's per-thread
# CPU, all read from /proc: CPU over the steady state (from 4 s after the start until shortly
# before the run ends), the resident set's peak over the whole run.
# Usage: [PROGRAM=path] [SIZES="1280x720 1920x1080"] [MODE=1..4] [SENSITIVITY=1..100]
#        bench/program/frame_path_cost.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-30}"
# Detection mode and sensitivity; sensitivity 100 counts every changed pixel as motion, so the
# moving pattern keeps the motion recorder running for the whole run.
mode="${MODE:-1}"
sensitivity="${SENSITIVITY:-100}"
program="${PROGRAM:-./build/app/tandrel}"
[ -x "$program" ] || { echo "build the program first (./scripts/build.sh)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
tick=$(getconf CLK_TCK)

# CPU ticks (user + system) of a process or thread from its stat line.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1"; }

# Per-thread CPU ticks of process $1 into file $2: "<tid> <name> <ticks>".
thread_ticks() {
  : > "$2"
  for task in /proc/"$1"/task/*; do
    printf '%s %s %s\n' "${task##*/}" "$(tr ' ' '_' < "$task/comm")" "$(ticks "$task/stat")" \
      >> "$2" 2> /dev/null || true
  done
}

# Samples process $1 in its steady state, from $warmup seconds after the start (plug-in loading,
# file inspection and graph building done) until $2 seconds after it:
# "<cpu ms per s> <peak RSS MB>", and each thread's CPU ms per s in that span into $3.
warmup=4
sample() {
  local pid=$1 after=$2 threads=$3 cpu0 cpu1 t0 t1 rss
  sleep "$warmup"
  t0=$(date +%s.%N)
  cpu0=$(ticks "/proc/$pid/stat")
  thread_ticks "$pid" "$threads.0"
  sleep $((after - warmup))
  cpu1=$(ticks "/proc/$pid/stat")
  t1=$(date +%s.%N)
  thread_ticks "$pid" "$threads.1"
  rss=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status")
  awk -v t="$tick" -v t0="$t0" -v t1="$t1" \
    'NR == FNR { before[$1] = $3; next } { printf "%s %.1f\n", $2, ($3 - before[$1]) * 1000 / t / (t1 - t0) }' \
    "$threads.0" "$threads.1" > "$threads"
  awk -v a="$cpu0" -v b="$cpu1" -v t="$tick" -v t0="$t0" -v t1="$t1" -v r="$rss" \
    'BEGIN { printf "%.1f %.1f\n", (b - a) * 1000 / t / (t1 - t0), r / 1024 }'
}

measure() {  # $1: width, $2: height
  local w=$1 h=$2 clip="$work/clip-$1x$2.mp4"
  gst-launch-1.0 -q videotestsrc pattern=ball num-buffers=$(((seconds + 5) * 10)) ! \
    "video/x-raw,format=I420,width=$w,height=$h,framerate=10/1" ! x264enc speed-preset=ultrafast ! \
    h264parse ! mp4mux ! filesink location="$clip" > /dev/null
  local after=$((seconds - 2))
  gst-launch-1.0 -q filesrc location="$clip" ! qtdemux ! h264parse ! avdec_h264 ! \
    fakesink sync=true > /dev/null 2>&1 &
  local base_pid=$!
  local base
  base=$(sample "$base_pid" "$after" "$work/base-threads")
  kill "$base_pid" 2> /dev/null || true
  wait "$base_pid" 2> /dev/null || true

  local zones=() zw=$((w / 5)) zh=$((h / 2))
  for i in 0 1 2 3 4; do
    zones+=(--zone "$((i * zw)),0,$((i * zw + zw)),$zh" --zone "$((i * zw)),$zh,$((i * zw + zw)),$h")
  done
  local home="$work/home-$w"
  mkdir -p "$home/config/Vantrelle Media Solutions"
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    TANDREL_TEST_PATTERN=0 TANDREL_FILE_CAMERAS="$clip" \
    TANDREL_AUDIO_SINK=fakesink TANDREL_VIDEO_SINK=fakesink TANDREL_INSTANCE_NAME="bench-$$-$w" \
    "$program" --headless --seconds "$seconds" --camera 0 --mode "$mode" \
    --sensitivity "$sensitivity" "${zones[@]}" > "$work/events-$w" 2> /dev/null &
  local pid=$!
  local prog
  prog=$(sample "$pid" "$after" "$work/prog-threads")
  wait "$pid" 2> /dev/null || true

  read -r pcpu prss <<< "$prog"
  read -r bcpu brss <<< "$base"
  awk -v l="${w}x${h}" -v p="$pcpu" -v b="$bcpu" -v pr="$prss" -v br="$brss" 'BEGIN {
    printf "%-10s CPU ms per s: program %6.1f  baseline %6.1f  difference %6.1f   peak RSS MB: program %6.1f  baseline %6.1f\n",
      l, p, b, p - b, pr, br }'
  echo "  mode $mode, sensitivity $sensitivity, motion recordings started: $(grep -c '"recording_started"' "$work/events-$w" || true)"
  echo "  program threads (CPU ms per s):"
  sort -k2 -n -r "$work/prog-threads" | awk '$2 > 0 { printf "    %-18s %8.1f\n", $1, $2 }'
}

for size in ${SIZES:-1280x720 1920x1080}; do
  measure "${size%x*}" "${size#*x}"
done
