# Every outside library is found here once; targets link the imported names.
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB0 REQUIRED IMPORTED_TARGET libusb)

set(CMAKE_AUTOMOC OFF)
find_package(Qt5 5.12 REQUIRED COMPONENTS Core Gui Widgets SerialPort Test)

# Qwt ships no CMake config and its pkg-config file needs .pc files Debian does
# not install, so it is found by hand.
find_path(QWT_INCLUDE_DIR NAMES qwt_plot.h PATH_SUFFIXES qwt qwt-qt5 qwt6 qwt6-qt5)
find_library(QWT_LIBRARY NAMES qwt-qt5 qwt6-qt5 qwt)
if(NOT QWT_INCLUDE_DIR OR NOT QWT_LIBRARY)
  message(FATAL_ERROR "Qwt for Qt 5 not found: run scripts/install-deps.sh")
endif()
add_library(Qwt::Qwt UNKNOWN IMPORTED)
set_target_properties(Qwt::Qwt PROPERTIES
  IMPORTED_LOCATION "${QWT_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${QWT_INCLUDE_DIR}"
  INTERFACE_LINK_LIBRARIES "Qt5::Widgets")
