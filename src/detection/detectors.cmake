# Block motion detector and the self-learning threaded detector.
target_sources(tandrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveMotionDetection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NeuralMotionDetection.cpp
)

if(NOT TANDREL_CORE_ONLY)
  # The multi-zone detector starts and stops the zones' alarm threads, which need GStreamer.
  target_sources(tandrel_media PRIVATE ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionListManager.cpp)
endif()
