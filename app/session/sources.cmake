# Files of app/session, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CancellableReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CancellableReader.h
  ${CMAKE_CURRENT_LIST_DIR}/CrLfDevice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrLfDevice.h
  ${CMAKE_CURRENT_LIST_DIR}/CsvExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CsvExport.h
  ${CMAKE_CURRENT_LIST_DIR}/DecimalText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DecimalText.h
  ${CMAKE_CURRENT_LIST_DIR}/ExportSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExportSettings.h
  ${CMAKE_CURRENT_LIST_DIR}/JournalRecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalRecords.h
  ${CMAKE_CURRENT_LIST_DIR}/JournalReplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalReplay.h
  ${CMAKE_CURRENT_LIST_DIR}/JournalWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalWriter.h
  ${CMAKE_CURRENT_LIST_DIR}/ReferenceBaseLevel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReferenceBaseLevel.h
  ${CMAKE_CURRENT_LIST_DIR}/RecoveryCopy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecoveryCopy.h
  ${CMAKE_CURRENT_LIST_DIR}/RegularFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegularFile.h
  ${CMAKE_CURRENT_LIST_DIR}/SessionFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SessionFile.h
  ${CMAKE_CURRENT_LIST_DIR}/SessionContents.h
  ${CMAKE_CURRENT_LIST_DIR}/SessionJournal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SessionJournal.h
  ${CMAKE_CURRENT_LIST_DIR}/XmlMaps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XmlMaps.h
)
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ExportOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExportOptions.h
)
