# Packed pixel kernels and the image convolution: scalar references plus SSE2/AVX2 versions
# picked at run time. Only the AVX2 files are built with -mavx2.
target_sources(tandrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernelsAvx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernelsScalar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernelsSse2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Convolution.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvolutionAvx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConvolutionSse2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsAvx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsScalar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsSse2.cpp
)

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64)$")
  set_source_files_properties(
    ${CMAKE_CURRENT_LIST_DIR}/AdaptiveKernelsAvx2.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ConvolutionAvx2.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsAvx2.cpp
    TARGET_DIRECTORY tandrel_core
    PROPERTIES COMPILE_OPTIONS "-mavx2")
endif()
