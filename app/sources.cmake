# Files of app/ itself (application shell), each added to the library of its layer.
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BuildInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h
  ${CMAKE_CURRENT_LIST_DIR}/Logger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Logger.h
)
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandLine.h
  ${CMAKE_CURRENT_LIST_DIR}/SensorTexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SensorTexts.h
)
# The main window.
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AboutDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutDialog.h
  ${CMAKE_CURRENT_LIST_DIR}/MainWin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainWin.h
  ${CMAKE_CURRENT_LIST_DIR}/MainWinAcquisition.cpp
)
