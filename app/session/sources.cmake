# Files of app/session, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/XmlMaps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XmlMaps.h
)
