# Block motion detector and the self-learning threaded detector.
target_sources(tandrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveMotionDetection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MotionDetectionManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NeuralMotionDetection.cpp
)
