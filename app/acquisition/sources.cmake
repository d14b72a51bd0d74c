# Files of app/acquisition, each added to the library of its layer (see app/CMakeLists.txt).

# Scan start: the mode-frame values of a configuration, and sending them to the sensor.
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ScanStart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanStart.h
)
list(APPEND ORVEL_ACQUISITION_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ModeFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModeFrame.h
)
