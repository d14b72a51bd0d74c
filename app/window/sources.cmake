# Files of app/window, each added to the library of its layer (see app/CMakeLists.txt).
# What the session window shows, computed without widgets.
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FrameView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameView.h
)
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BackgroundWork.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BackgroundWork.h
  ${CMAKE_CURRENT_LIST_DIR}/DialogProvider.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialogProvider.h
  ${CMAKE_CURRENT_LIST_DIR}/GraphForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GraphForm.h
  ${CMAKE_CURRENT_LIST_DIR}/PlotErrorBarCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlotErrorBarCurve.h
  ${CMAKE_CURRENT_LIST_DIR}/PlotManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlotManager.h
  ${CMAKE_CURRENT_LIST_DIR}/SessionDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SessionDocument.h
  ${CMAKE_CURRENT_LIST_DIR}/SessionPlots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SessionPlots.h
  ${CMAKE_CURRENT_LIST_DIR}/ThreeTracePlotter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ThreeTracePlotter.h
  ${CMAKE_CURRENT_LIST_DIR}/ValuesPanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ValuesPanel.h
)
