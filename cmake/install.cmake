# Install rules. On Linux `cmake --install` lays the programs out like any
# Linux program (GNUInstallDirs under the prefix): the programs, the udev
# rule, the desktop entry, the icon, the AppStream file, the manual pages
# and the package documents; cmake/packaging.cmake makes the .deb of the
# same files. On Windows the folder of the ZIP: the programs and a README.
# Included at the end of the top-level CMakeLists.txt, once every target
# exists.
include(GNUInstallDirs)
include(${PROJECT_SOURCE_DIR}/cmake/product.cmake)

set(UPDATER_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(UPDATER_INSTALL_GENERATED ${CMAKE_BINARY_DIR}/install)
# Directories 755 whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
    install(TARGETS controller-updater RUNTIME DESTINATION .)
    set(UPDATER_ZIP_CLI_README "")
    # The console program, once there is one.
    if(TARGET controller-updater-cli)
        install(TARGETS controller-updater-cli RUNTIME DESTINATION .)
        set(UPDATER_ZIP_CLI_README [[

controller-updater-cli.exe
    The same update from a console window (--help lists its options).
]])
    endif()
    configure_file(${UPDATER_PACKAGING_DIR}/windows/README.txt.in
                   ${UPDATER_INSTALL_GENERATED}/README.txt @ONLY NEWLINE_STYLE WIN32)
    install(FILES ${UPDATER_INSTALL_GENERATED}/README.txt DESTINATION .)
    return()
endif()

# Relative to the prefix: /usr/lib/udev/rules.d for the package,
# /usr/local/lib/udev/rules.d for a plain `cmake --install` (udev reads both).
set(UPDATER_INSTALL_UDEVRULESDIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule goes, relative to the install prefix")
set(UPDATER_HOMEPAGE_URL "https://controller-updater.invalid/" CACHE STRING
    "Home page named in the AppStream file")
set(UPDATER_SCREENSHOT_URL "https://controller-updater.invalid/screenshots/dialog.png" CACHE STRING
    "Screenshot of the dialog named in the AppStream file")

set(programs controller-updater)
if(TARGET controller-updater-qt)
    list(APPEND programs controller-updater-qt)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The device access the programs need: uaccess for the user at the seat.
install(FILES ${PROJECT_SOURCE_DIR}/platform/linux/70-controller-updater.rules
        DESTINATION ${UPDATER_INSTALL_UDEVRULESDIR})

# The dialog on the desktop: menu entry, icon and software centre entry.
if(TARGET controller-updater-qt)
    configure_file(${UPDATER_PACKAGING_DIR}/linux/controller-updater.desktop.in
                   ${UPDATER_INSTALL_GENERATED}/${UPDATER_APP_ID}.desktop @ONLY)
    install(FILES ${UPDATER_INSTALL_GENERATED}/${UPDATER_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    get_target_property(icon_dir app_icon_png UPDATER_ICON_DIR)
    foreach(size IN LISTS UPDATER_ICON_SIZES)
        install(FILES ${icon_dir}/${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${UPDATER_APP_ID}.png)
    endforeach()
    get_target_property(icon_svg app_icon_png UPDATER_ICON_SVG)
    install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${UPDATER_APP_ID}.svg)

    # The supported devices, from the udev rule, as the modaliases that let
    # a software centre offer the program when such a controller is plugged.
    file(STRINGS ${PROJECT_SOURCE_DIR}/platform/linux/70-controller-updater.rules rules
         REGEX "^[^#].*idVendor")
    set(UPDATER_METAINFO_MODALIASES "")
    foreach(rule IN LISTS rules)
        if(NOT rule MATCHES "idVendor}==\"([0-9a-fA-F]+)\".*idProduct}==\"([0-9a-fA-F]+)\"")
            message(FATAL_ERROR "Unexpected udev rule: ${rule}")
        endif()
        string(TOUPPER "${CMAKE_MATCH_1}" vendor)
        string(TOUPPER "${CMAKE_MATCH_2}" product)
        string(APPEND UPDATER_METAINFO_MODALIASES "    <modalias>usb:v${vendor}p${product}d*</modalias>\n")
    endforeach()
    # SOURCE_DATE_EPOCH, when set, makes the dates reproducible.
    string(TIMESTAMP UPDATER_RELEASE_DATE "%Y-%m-%d" UTC)
    configure_file(${UPDATER_PACKAGING_DIR}/linux/metainfo.xml.in
                   ${UPDATER_INSTALL_GENERATED}/${UPDATER_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${UPDATER_INSTALL_GENERATED}/${UPDATER_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Manual pages, written at build time by help2man from each program's
# --help and --version, so they list the very options the program takes.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    set(man_dir ${UPDATER_INSTALL_GENERATED}/man)
    set(man_pages "")
    set(man_include ${UPDATER_PACKAGING_DIR}/linux/manpage.h2m)
    foreach(program IN LISTS programs)
        if(program STREQUAL "controller-updater-qt")
            set(what "update the firmware of a USB game controller in a dialog window")
        else()
            set(what "update the firmware of a USB game controller from the console")
        endif()
        add_custom_command(
            OUTPUT ${man_dir}/${program}.1.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
            COMMAND ${HELP2MAN} --no-info --section=1 --name=${what} --include=${man_include}
                    --output=${man_dir}/${program}.1 $<TARGET_FILE:${program}>
            COMMAND gzip -9nf ${man_dir}/${program}.1
            DEPENDS ${program} ${man_include}
            COMMENT "Writing the manual page of ${program}"
            VERBATIM)
        list(APPEND man_pages ${man_dir}/${program}.1.gz)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man not found (apt install help2man): no manual pages")
endif()

# The package's documents: copyright and changelog, where Debian wants them.
string(TIMESTAMP UPDATER_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog ${UPDATER_INSTALL_GENERATED}/doc/changelog)
configure_file(${UPDATER_PACKAGING_DIR}/linux/changelog.in ${changelog} @ONLY)
add_custom_command(
    OUTPUT ${changelog}.gz
    COMMAND gzip -9nkf ${changelog}
    DEPENDS ${changelog}
    COMMENT "Compressing the changelog"
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${UPDATER_PACKAGING_DIR}/linux/copyright ${changelog}.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${UPDATER_DEB_PACKAGE})
