# Files of app/window, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/GraphForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphForm.h
  ${CMAKE_CURRENT_LIST_DIR}/PlotErrorBarCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlotErrorBarCurve.h
  ${CMAKE_CURRENT_LIST_DIR}/ThreeTracePlotter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ThreeTracePlotter.h
)
