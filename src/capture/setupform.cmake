# The camera setup dialog: Qt Widgets over the capture graph.
if(NOT TANDREL_CORE_ONLY)
  target_sources(tandrel_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CameraManagerSetupForm.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CameraSourceSettings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkCamerasDialog.cpp
  )
endif()
