# Device controls: the V4L2 device wrapper and the analog front end of the capture graph
# (GStreamer layer); the dialog of the device's controls (Qt layer).
if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_media PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CaptureDeviceControls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameGrabCaptureGraphControls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/V4l2Device.cpp
    ${CMAKE_CURRENT_LIST_DIR}/V4l2Source.cpp
  )
  target_sources(tandrel_app PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DevicePropertiesDialog.cpp)
endif()
