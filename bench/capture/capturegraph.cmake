# The capture graph run live over the Test Pattern: callbacks per second and CPU time per second
# of video. A plain program (one measurement is a whole live run) that needs the media layer.
if(TANDREL_CORE_ONLY OR NOT TARGET tandrel_media)
  return()
endif()
add_executable(tandrel_capture_bench ${CMAKE_CURRENT_LIST_DIR}/CaptureGraphBench.cpp)
target_link_libraries(tandrel_capture_bench PRIVATE tandrel_media)

# A compressed stream watched with ten zones against its bare decode: the program's own CPU part.
add_executable(tandrel_stream_bench ${CMAKE_CURRENT_LIST_DIR}/StreamDecodeBench.cpp)
target_link_libraries(tandrel_stream_bench PRIVATE tandrel_media)
