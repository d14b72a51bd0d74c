# Files of app/analysis, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/results.cpp
  ${CMAKE_CURRENT_LIST_DIR}/results.h
  ${CMAKE_CURRENT_LIST_DIR}/ScanRecord.h
)
# EEDF energy-resolution table: file format and item model in core, editor dialog in widgets.
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/EedfTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EedfTable.h
  ${CMAKE_CURRENT_LIST_DIR}/TableModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TableModel.h
)
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/EEDF_Dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EEDF_Dialog.h
)
