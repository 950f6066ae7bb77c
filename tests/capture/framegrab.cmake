# Frame grab filter: the YUY2 and planar conversions are core; the sink element needs GStreamer.
target_sources(tandrel_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionTest.cpp
)

if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_media_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/VideoFrameGrabFilterTest.cpp)
endif()
