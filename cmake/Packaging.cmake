# The Debian package, made by CPack from the install rules (scripts/package.sh
# builds it with the prefix /usr). Its dependencies on the Debian runtime
# packages (Qt 5, Qwt, libusb-0.1, the C++ runtime) are read off the programs
# and the library by dpkg-shlibdeps, so they follow what is actually linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel)
set(CPACK_PACKAGE_VENDOR Brisvane)
set(CPACK_PACKAGE_CONTACT "Brisvane <support@brisvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Langmuir-probe plasma measurement program")
set(CPACK_PACKAGE_DESCRIPTION
  "Orvel acquires IV curves from a Langmuir-probe sensor unit over USB in \
time-averaged, time-resolved and spatially resolved scans (with a linear drive \
on a serial line), analyses them for the electron temperature, ion current \
density, ion density and Debye length, and saves sessions as .ldf files. \
The package holds the program, the command-line tool orvel-cli, the tools \
orvel-sensors (lists and opens sensors) and orvel-simdrive (a simulated linear \
drive), the device library OrvelDevice with its header, the desktop entry, the \
session file type and the user guide.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs link the package's own OrvelDevice; the shlibs file it gets
# lets dpkg-shlibdeps (and later packages) resolve that dependency.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/device)
# Help opens the user guide through the desktop's default handler.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
