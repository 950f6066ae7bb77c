# Device controls: the V4L2 wrapper and the capture graph's controls run against GStreamer;
# the device properties dialog runs offscreen with made-up control lists.
if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_media_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CaptureDeviceControlsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PropertyPagesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/V4l2DeviceTest.cpp
  )
  target_sources(tandrel_app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DevicePropertiesDialogTest.cpp)
endif()
