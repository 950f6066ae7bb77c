# The frame grab filter's YUY2 conversion against a memcpy of its output frame.
target_sources(tandrel_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Yuy2ConversionBench.cpp)
