# Files of app/config, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConfigParam.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigParam.h
  ${CMAKE_CURRENT_LIST_DIR}/NumberRange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberRange.h
  ${CMAKE_CURRENT_LIST_DIR}/PanelControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PanelControls.h
)
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConfigParamPanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigParamPanel.h
)
