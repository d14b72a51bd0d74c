# Files of app/drive, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_DRIVE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AppliedMotion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AppliedMotion.h
  ${CMAKE_CURRENT_LIST_DIR}/DrivePort.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DrivePort.h
  ${CMAKE_CURRENT_LIST_DIR}/DriveReply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DriveReply.h
  ${CMAKE_CURRENT_LIST_DIR}/DriveSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DriveSettings.h
  ${CMAKE_CURRENT_LIST_DIR}/LinearDrive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinearDrive.h
  ${CMAKE_CURRENT_LIST_DIR}/SimulatedDrivePorts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimulatedDrivePorts.h
)
