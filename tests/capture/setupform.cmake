# The camera setup dialog runs offscreen over the Test Pattern and a file camera.
if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CameraManagerSetupFormTest.cpp)
  target_link_libraries(tandrel_app_tests PRIVATE Qt6::Test)
endif()
