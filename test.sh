#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
ctest --test-dir build --output-on-failure --parallel "$(nproc)"

# The detectors' worker threads, and the event outputs' threads, once more under ThreadSanitizer
# (core only: no Qt, no GStreamer).
if [ ! -f build-tsan/build.ninja ]; then
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTANDREL_CORE_ONLY=ON \
    -DTANDREL_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
fi
cmake --build build-tsan --parallel "$(nproc)" --target tandrel_core_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure --parallel "$(nproc)" \
    -R "^(NeuralMotionDetection|MotionDetectionManager|PixelKernelsConcurrency|Sync|BuffQueue|Lock\.|EventStream|CommandOutput|WebhookOutput|MqttOutput)"

# The camera controller under AddressSanitizer: frames stream from the Test Pattern while
# detection is switched on and off and the format changes, so a detector, picture or overlay
# used after it was destroyed shows up here. Hostile stored values (zones at the integer limits)
# and termination signals during dialogs run here too, where an overflow or a use after free
# stops the run. The playback engine and its windows run here as well: pictures arrive from
# streaming threads while panels and meters are made and destroyed.
if [ ! -f build-asan/build.ninja ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTANDREL_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -O1" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
fi
# Test discovery runs the media binary, whose GStreamer start-up leaks by design.
ASAN_OPTIONS="detect_leaks=0" \
  cmake --build build-asan --parallel "$(nproc)" --target tandrel_app_tests tandrel_media_tests
ASAN_OPTIONS="detect_leaks=0 halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  QT_QPA_PLATFORM=offscreen build-asan/tests/tandrel_app_tests \
    --gtest_filter="CameraManagerStreamingTest.*:CameraManagerFramePathTest.*:CameraManagerCommandsTest.*:CameraManagerStoredValuesTest.*:Form1TerminationTest.*:CameraManagerEventsTest.*:SnapshotWriter.*" \
    --gtest_repeat=2
ASAN_OPTIONS="detect_leaks=0 halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  QT_QPA_PLATFORM=offscreen TANDREL_AUDIO_SINK=fakesink TANDREL_VIDEO_SINK=fakesink \
  build-asan/tests/tandrel_app_tests \
    --gtest_filter="PreviewPlayerTest.*:VideoLogPreviewFormTest.*:VideoLoggerFrmTest.*"

# Losing and getting back a camera, and the frames kept before a motion recording, under
# AddressSanitizer: the graph is torn down and rebuilt while its bus, the device monitor and
# the recorders report from their own threads, and a recorder reads the kept frames on its own.
ASAN_OPTIONS="detect_leaks=0 halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  QT_QPA_PLATFORM=offscreen TANDREL_AUDIO_SINK=fakesink TANDREL_VIDEO_SINK=fakesink \
  build-asan/tests/tandrel_app_tests --gtest_filter="CameraManagerReconnectTest.*:CameraManagerPreEventTest.*"

# The recorder under AddressSanitizer: source pins, the writer and the self-freeing encoder
# thread end their lives on streaming and worker threads.
ASAN_OPTIONS="detect_leaks=0 halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  build-asan/tests/tandrel_media_tests \
    --gtest_filter="AVSourceFilter.*:WMEncodeGraph.*:WMEncodeGraphThread.*"

# The playback filter under AddressSanitizer: frames and levels come from streaming threads
# while files are opened, stepped, seeked and closed.
ASAN_OPTIONS="detect_leaks=0 halt_on_error=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  TANDREL_AUDIO_SINK=fakesink TANDREL_VIDEO_SINK=fakesink build-asan/tests/tandrel_media_tests \
    --gtest_filter="PlaybackFilter*"
