# Files of app/analysis, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AnalysisContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AnalysisContext.h
  ${CMAKE_CURRENT_LIST_DIR}/Bessel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Bessel.h
  ${CMAKE_CURRENT_LIST_DIR}/DialogSettingsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialogSettingsFile.h
  ${CMAKE_CURRENT_LIST_DIR}/HarmonicAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HarmonicAnalysis.h
  ${CMAKE_CURRENT_LIST_DIR}/LangmuirSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LangmuirSettings.h
  ${CMAKE_CURRENT_LIST_DIR}/LineFit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineFit.h
  ${CMAKE_CURRENT_LIST_DIR}/NumberText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberText.h
  ${CMAKE_CURRENT_LIST_DIR}/Numerics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Numerics.h
  ${CMAKE_CURRENT_LIST_DIR}/PlasmaAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlasmaAnalysis.h
  ${CMAKE_CURRENT_LIST_DIR}/Potentials.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Potentials.h
  ${CMAKE_CURRENT_LIST_DIR}/ProcessSettingsFields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProcessSettingsFields.h
  ${CMAKE_CURRENT_LIST_DIR}/results.cpp
  ${CMAKE_CURRENT_LIST_DIR}/results.h
  ${CMAKE_CURRENT_LIST_DIR}/ScanRecord.h
  ${CMAKE_CURRENT_LIST_DIR}/EedfTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EedfTable.h
  ${CMAKE_CURRENT_LIST_DIR}/TableModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TableModel.h
)
list(APPEND ORVEL_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/EEDF_Dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EEDF_Dialog.h
  ${CMAKE_CURRENT_LIST_DIR}/LangmuirSettingsWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LangmuirSettingsWidget.h
)
