# Benchmarks of the block motion detector's per-frame step, simple and adaptive.
target_sources(tandrel_bench PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveModeBench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionManagerBench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TenZoneStepBench.cpp
)
