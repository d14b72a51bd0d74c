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
  ${CMAKE_CURRENT_LIST_DIR}/UserGuide.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UserGuide.h
)
file(RELATIVE_PATH guideFromProgram ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_PREFIX}/${ORVEL_INSTALL_GUIDE_DIR})
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/UserGuide.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS ORVEL_GUIDE_FROM_PROGRAM="${guideFromProgram}")
# The main window.
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AboutDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutDialog.h
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationSetup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ApplicationSetup.h
  ${CMAKE_CURRENT_LIST_DIR}/MainWin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainWin.h
  ${CMAKE_CURRENT_LIST_DIR}/MainWinAcquisition.cpp
)
