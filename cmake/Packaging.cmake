# Installation and the Debian package.
#   cmake --install build [--prefix DIR]     programs, manual pages, desktop entry, icon, MIME type
#   cmake --build build --target package     orvcontrol_<version>_<arch>.deb in build/
#   scripts/package                          the same from a Release build in build-package/
# The programs install themselves (install(TARGETS) beside each); this file adds the rest, from
# packaging/. Destinations are relative (GNUInstallDirs), so the same rules serve a package
# (prefix /usr) and any other prefix.

set(ORV_PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")

if(TARGET orvcontrol)
    install(FILES "${ORV_PACKAGING_DIR}/orvcontrol.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${ORV_PACKAGING_DIR}/orvcontrol.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
    install(FILES "${ORV_PACKAGING_DIR}/orvcontrol.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
endif()

# Manual pages from each program's --help, when help2man is there; a build without it has none.
find_program(ORV_HELP2MAN help2man)
find_program(ORV_GZIP gzip)
set(ORV_MANPAGES OFF)
if(ORV_HELP2MAN AND ORV_GZIP AND NOT CMAKE_CROSSCOMPILING)
    set(orv_manual_orvcontrol "field controller of the ORV electromagnetic sounding instrument")
    set(orv_manual_orvtool "session files, calibrations, settings and the ORV instrument from the command line")
    set(orv_manual_orvsim "ORV instrument and GPS receiver simulators on pseudo-terminals")
    set(pages "")
    foreach(program IN ITEMS orvcontrol orvtool orvsim)
        if(NOT TARGET ${program})
            continue()
        endif()
        set(page "${CMAKE_BINARY_DIR}/man/${program}.1.gz")
        add_custom_command(OUTPUT "${page}"
            COMMAND "${CMAKE_COMMAND}" "-DHELP2MAN=${ORV_HELP2MAN}" "-DGZIP=${ORV_GZIP}"
                "-DPROGRAM=$<TARGET_FILE:${program}>" "-DDESCRIPTION=${orv_manual_${program}}"
                "-DVERSION=${PROJECT_VERSION}" "-DINCLUDE=${ORV_PACKAGING_DIR}/orvcontrol.h2m"
                "-DOUTPUT=${page}" -P "${ORV_PACKAGING_DIR}/manpage.cmake"
            DEPENDS ${program} "${ORV_PACKAGING_DIR}/manpage.cmake"
                "${ORV_PACKAGING_DIR}/orvcontrol.h2m"
            COMMENT "Manual page ${program}(1)" VERBATIM)
        list(APPEND pages "${page}")
    endforeach()
    if(pages)
        set(ORV_MANPAGES ON)
        add_custom_target(orv_manpages ALL DEPENDS ${pages})
        install(FILES ${pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    endif()
else()
    message(STATUS "help2man not found: no manual pages")
endif()

# The package. dpkg-shlibdeps (dpkg-dev) turns the libraries the programs link into package
# dependencies; without it a .deb would install and then not start, so none is made.
find_program(ORV_DPKG_DEB dpkg-deb)
find_program(ORV_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(ORV_PACKAGE_DEB OFF)
if(ORV_DPKG_DEB AND ORV_DPKG_SHLIBDEPS)
    set(ORV_PACKAGE_DEB ON)
    set(CPACK_GENERATOR DEB)
else()
    message(STATUS "dpkg-deb or dpkg-shlibdeps not found: the package target makes a .tar.gz")
    set(CPACK_GENERATOR TGZ)
endif()

set(ORV_PACKAGE_MAINTAINER "OrvControl developers <orvcontrol@quarn.invalid>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME orvcontrol)
set(CPACK_PACKAGE_VENDOR Quarn)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${ORV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "field controller of the ORV electromagnetic sounding instrument")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "OrvControl takes the measurements of an ORV frequency-domain electromagnetic sounding\n"
    "instrument over a Bluetooth serial port, positions them by GPS where needed, keeps them\n"
    "in session files (.orv) and shows them as colour maps, sections, sounding and profile\n"
    "curves and a track. orvtool reads, exports and renders session files and manages\n"
    "calibrations from the command line; orvsim plays the instrument and a GPS receiver on\n"
    "pseudo-terminals for trying the program without hardware.")
set(CPACK_PACKAGE_FILE_NAME "orvcontrol-${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the library scan cannot see: Qt's platform plugins (the window on X11 and Wayland) and the
# font the graphics' labels are measured in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
# bluetoothctl and rfcomm, for pairing the instrument and binding its serial port.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bluez")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
