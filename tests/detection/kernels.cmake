target_sources(tandrel_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernelsExactnessTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernelsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvolutionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsExactnessTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsTest.cpp
)
