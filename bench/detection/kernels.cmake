# Pixel kernel benchmarks. tandrel_kernels_report runs the same benchmarks and then prints each
# kernel's time ratio to its memory baseline.
target_sources(tandrel_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsBench.cpp)

add_executable(tandrel_kernels_report
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsBench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PixelKernelsReport.cpp
)
target_link_libraries(tandrel_kernels_report PRIVATE tandrel_core benchmark::benchmark)
# Next to tandrel_bench.
set_target_properties(tandrel_kernels_report PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
