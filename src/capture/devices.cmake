# Capture devices, device types, output formats and the capture graph. Device-type rules,
# connector names and the format arithmetic are plain C++; the rest is GStreamer.
target_sources(tandrel_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CaptureDeviceMatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CaptureDeviceTypes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CaptureFormats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TestPatternPicture.cpp
)

if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_media PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CaptureDevices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CapturePins.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CaptureSourceBin.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CaptureStreamConfig.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CaptureSplitters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FileCamera.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkCamera.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkCameraProbes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProbeStop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PropertyPages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameGrabCaptureGraph.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameGrabCaptureGraphFormats.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FrameGrabCaptureGraphRender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VideoDeviceMonitor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VirtualDevices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TestPatternSource.cpp
  )
endif()
