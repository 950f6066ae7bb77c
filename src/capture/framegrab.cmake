# Frame grab filter: the YUY2 and planar 4:2:0 conversion kernels are plain C++ (scalar
# references plus SSE2/AVX2 versions picked at run time; only the AVX2 files are built with
# -mavx2); the sink element itself is GStreamer.
target_sources(tandrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversionAvx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversionScalar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversionSse2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Yuy2Conversion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionAvx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionScalar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionSse2.cpp
)

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64)$")
  set_source_files_properties(
    ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionAvx2.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlanarYuvConversionAvx2.cpp
    TARGET_DIRECTORY tandrel_core
    PROPERTIES COMPILE_OPTIONS "-mavx2")
endif()

if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_media PRIVATE ${CMAKE_CURRENT_LIST_DIR}/VideoFrameGrabFilter.cpp)
endif()
