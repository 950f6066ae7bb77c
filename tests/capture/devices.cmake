# Device-type rules and format arithmetic need no GStreamer; device lists, formats of real
# devices and capture graphs run real graphs.
target_sources(tandrel_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CaptureDeviceMatchTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CaptureDeviceTypesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CaptureFormatsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TestPatternPictureTest.cpp
)

if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_media_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CaptureDevicesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileCameraTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameGrabCaptureGraphTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkCameraTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RtspCameraTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VideoDeviceMonitorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TestPatternSourceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/FakeCameraProvider.cpp
  )
  target_link_libraries(tandrel_media_tests PRIVATE tandrel_rtsp_test_server)
endif()
