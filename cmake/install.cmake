# What `make install` puts where, and the Debian package built from the same rules.
include(GNUInstallDirs)

# Installing and packaging build the programs they install, not every test suite.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

# The Windows archive keeps the programs at its top, beside the examples.
if(WIN32)
    set(MARROWTONE_BINDIR .)
else()
    set(MARROWTONE_BINDIR ${CMAKE_INSTALL_BINDIR})
endif()
foreach(program marrowtone marrowtone-render)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${MARROWTONE_BINDIR})
    endif()
endforeach()

if(WIN32)
    install(FILES data/README-windows.txt DESTINATION . RENAME README.txt)
    install(DIRECTORY examples/ DESTINATION examples FILES_MATCHING PATTERN "*.mml")
endif()

if(NOT WIN32)
    install(FILES data/marrowtone.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES data/icons/marrowtone.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES data/icons/marrowtone-48.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
            RENAME marrowtone.png)
    install(FILES docs/marrowtone-render.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/marrowtone/examples
            FILES_MATCHING PATTERN "*.mml")
endif()

set(CPACK_PACKAGE_NAME marrowtone)
set(CPACK_PACKAGE_VENDOR "Marrowtone")
set(CPACK_PACKAGE_CONTACT "Marrowtone developers <marrowtone@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop player for music written in MML")
set(CPACK_PACKAGE_DESCRIPTION
    "Marrowtone plays music written in MML (music macro language): every channel of a\n\
score becomes a pulse-wave voice, rendered to 60 seconds of 8-bit sound.\n\
It also ships marrowtone-render, which writes the same sound to a WAV file.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "marrowtone-${PROJECT_VERSION}-win32")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # marrowtone_VERSION_ARCH.deb
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)    # dependencies computed by dpkg-shlibdeps
    # What no program names among its libraries: Qt's Wayland platform plugin, for sessions
    # without X (Qt's X plugin comes with libqt6gui6), and PulseAudio's client library, which
    # the programs load when they first play. The computed dependencies are added to these.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland, libpulse0")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://marrowtone.invalid")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
include(CPack)
