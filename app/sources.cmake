# Files of app/ itself (application shell), each added to the library of its layer.
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BuildInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h
  ${CMAKE_CURRENT_LIST_DIR}/Logger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Logger.h
)
