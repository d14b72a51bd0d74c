# What `cmake --install` places under the prefix, in the usual places of a
# Linux system; the Debian package (cmake/Packaging.cmake) is made of the same.
#
#   bin/                      Orvel, orvel-cli, orvel-sensors, orvel-simdrive
#   lib*/                     libOrvelDevice.so.<major> (+ the .so name and a pkg-config file)
#   include/OrvelDevice/      orvelDevice.h, for other programs that drive the sensor
#   lib/udev/rules.d/         70-orvel.rules (matches nothing until narrowed, see the file)
#   share/applications/       orvel.desktop
#   share/mime/packages/      orvel.xml: the session file type
#   share/icons/hicolor/      the program's and the session files' icons
#   share/orvel/              Orvel User Guide.pdf (where Help finds it, see app/UserGuide.h)
#   share/man/man1/           orvel-cli.1.gz

install(TARGETS Orvel orvel-cli orvel-sensors orvel-simdrive RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(TARGETS OrvelDevice LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/device/orvelDevice.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/OrvelDevice)
configure_file(${PROJECT_SOURCE_DIR}/packaging/OrvelDevice.pc.in ${PROJECT_BINARY_DIR}/OrvelDevice.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/OrvelDevice.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installed programs find the library beside them, under any prefix; under /usr
# it is in the system's own library folder and needs no search path.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  file(RELATIVE_PATH libraryFromPrograms ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(Orvel orvel-cli orvel-sensors orvel-simdrive PROPERTIES
    INSTALL_RPATH "$ORIGIN/${libraryFromPrograms}")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/udev/70-orvel.rules DESTINATION lib/udev/rules.d)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/desktop/orvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/desktop/orvel-session.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME orvel.xml)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/packaging/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

install(FILES "${ORVEL_USER_GUIDE_PDF}" DESTINATION ${ORVEL_INSTALL_GUIDE_DIR})
install(FILES ${ORVEL_CLI_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
