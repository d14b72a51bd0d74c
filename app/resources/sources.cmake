# Files of app/resources, each added to the library of its layer (see app/CMakeLists.txt).
# The images, drawn by scripts/draw-images.sh, compiled in by AUTORCC.
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/orvel.qrc
  ${CMAKE_CURRENT_LIST_DIR}/Resources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Resources.h
)
