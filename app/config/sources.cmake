# Files of app/config, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConfigParam.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigParam.h
)
