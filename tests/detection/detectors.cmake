# Tests of the block motion detector and the threaded detector.
target_sources(tandrel_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveAllocationTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveMotionDetectionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionManagerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionSequenceTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NeuralMotionDetectionTest.cpp
)


if(NOT TANDREL_CORE_ONLY)
  # The multi-zone detector's alarm threads play real graphs.
  target_sources(tandrel_media_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionListManagerTest.cpp)
endif()
