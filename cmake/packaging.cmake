# Packages made by CPack from the install rules of cmake/install.cmake:
#   Linux:   cpack --preset linux-release   ->  <build>/packages/*.deb
#   Windows: cpack --preset mingw           ->  <build>/packages/*.zip
# Included at the end of the top-level CMakeLists.txt, after install.cmake.
include(${PROJECT_SOURCE_DIR}/cmake/product.cmake)

set(CPACK_PACKAGE_NAME ${UPDATER_DEB_PACKAGE})
set(CPACK_PACKAGE_VENDOR "Controller Updater Developers")
set(CPACK_PACKAGE_CONTACT "${UPDATER_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${UPDATER_SUMMARY}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME ${UPDATER_DEB_PACKAGE}-${PROJECT_VERSION}-windows-x64)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_NAME ${UPDATER_DEB_PACKAGE})
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${UPDATER_MAINTAINER}")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The extended description; the synopsis is the summary.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Finds a supported USB game controller, shows the firmware version it
runs and installs a new firmware package (.dat file) on it over HID, with
progress and a clear outcome. controller-updater-qt shows a dialog;
controller-updater runs the same update from the console.

A udev rule gives the user at the seat access to the supported
controllers, so neither program needs root.")
    # Library dependencies computed by dpkg-shlibdeps; the Qt platform
    # plugins (X11 and others) are loaded at run time, so named here.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    if(TARGET controller-updater-qt)
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    endif()
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/linux/postinst)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
