#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs the installed program from there: it must
# find its language files and alarm sound under <prefix>/share/tandrel and do its job.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

fail() { echo "FAILED: $*" >&2; exit 1; }
for file in bin/tandrel share/tandrel/Language/German.lng "share/tandrel/SoundAlarms/Clock Alarm.wav" \
            share/applications/tandrel.desktop share/icons/hicolor/scalable/apps/tandrel.svg \
            share/icons/hicolor/256x256/apps/tandrel.png share/man/man1/tandrel.1; do
  [ -s "$prefix/$file" ] || fail "$file is not installed"
done
grep -q '^Exec=tandrel' "$prefix/share/applications/tandrel.desktop" || fail "desktop file"
head -c 8 "$prefix/share/icons/hicolor/256x256/apps/tandrel.png" | grep -q PNG || fail "icon is no PNG"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export TANDREL_AUDIO_SINK=fakesink TANDREL_VIDEO_SINK=fakesink
export TANDREL_INSTANCE_NAME="tandrel-install-test-$$"
unset DISPLAY WAYLAND_DISPLAY TANDREL_TEST_PATTERN TANDREL_FILE_CAMERAS
cd "$work"
"$prefix/bin/tandrel" --list-cameras > list.txt || fail "--list-cameras"
grep -q '^camera 0: Test Pattern' list.txt || fail "no Test Pattern in: $(cat list.txt)"
"$prefix/bin/tandrel" --headless --seconds 3 --mode 1 --sensitivity 95 --zone 0,80,320,160 \
  > events.txt 2> diagnostics.txt || fail "headless run: $(cat diagnostics.txt)"
grep -q '"event":"camera_started"' events.txt || fail "no camera_started in: $(cat events.txt)"
# The installed alarm sound was found (a missing one is reported by the alarm thread).
if grep -qi "cannot.*Clock Alarm\|Clock Alarm.*not" diagnostics.txt; then
  fail "alarm sound not found: $(cat diagnostics.txt)"
fi
echo "installed program runs from $prefix"
