# Files of app/acquisition, each added to the library of its layer (see app/CMakeLists.txt).
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Band.h
  ${CMAKE_CURRENT_LIST_DIR}/CompactCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompactCurve.h
  ${CMAKE_CURRENT_LIST_DIR}/CurveScatter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CurveScatter.h
  ${CMAKE_CURRENT_LIST_DIR}/DelayWrapper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DelayWrapper.h
  ${CMAKE_CURRENT_LIST_DIR}/ExpectedFrames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExpectedFrames.h
  ${CMAKE_CURRENT_LIST_DIR}/measuredData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/measuredData.h
  ${CMAKE_CURRENT_LIST_DIR}/PositionWrapper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PositionWrapper.h
  ${CMAKE_CURRENT_LIST_DIR}/ScanGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanProgress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanProgress.h
  ${CMAKE_CURRENT_LIST_DIR}/ScanGroup.h
  ${CMAKE_CURRENT_LIST_DIR}/scanResult.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scanResult.h
  ${CMAKE_CURRENT_LIST_DIR}/TimeStepAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimeStepAnalysis.h
  ${CMAKE_CURRENT_LIST_DIR}/TimeSteps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimeSteps.h
  ${CMAKE_CURRENT_LIST_DIR}/Waveforms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Waveforms.h
)

# The scan worker, which polls the sensor and steps the drive, and the
# acquisition control that owns the sensor and runs the workers.
list(APPEND ORVEL_ACQUISITION_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AcquisitionControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AcquisitionControl.h
  ${CMAKE_CURRENT_LIST_DIR}/ScanHandler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanHandler.h
)

# Scan start: the mode-frame values of a configuration, and sending them to the sensor.
list(APPEND ORVEL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ScanStart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ScanStart.h
)
list(APPEND ORVEL_ACQUISITION_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ModeFrame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModeFrame.h
)
