# Benchmark of the block motion detector's per-frame step.
target_sources(tandrel_bench PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionManagerBench.cpp
)
