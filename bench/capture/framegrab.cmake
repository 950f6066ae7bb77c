# The frame grab filter's YUY2 conversion against a memcpy of its output frame, and its I420 and
# NV12 conversions next to the YUY2 one.
target_sources(tandrel_bench PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversionBench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionBench.cpp
)
