# What a desktop needs beyond the programs' own trees: a menu entry, icons in the hicolor
# sizes, a manual page and an AppStream entry for each program, and the udev rule that lets the logged-in user read a camera's snapshot button.
# The entries' Exec lines are written at install time, so they name the prefix really
# installed to (cmake --install --prefix …).
include(GNUInstallDirs)
set(VARNOLET_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where cmake --install puts the udev rule, relative to the prefix")

# varnolet_install_desktop_entry(TARGET target TEMPLATE file ICON_NAME name
#                                EXECUTABLE path-below-prefix MANUAL page METAINFO file)
function(varnolet_install_desktop_entry)
    cmake_parse_arguments(D "" "TARGET;TEMPLATE;ICON_NAME;EXECUTABLE;MANUAL;METAINFO" "" ${ARGN})
    if(NOT TARGET ${D_TARGET})
        message(FATAL_ERROR "desktop entry for ${D_TARGET}, which is not built")
    endif()
    get_filename_component(name ${D_TEMPLATE} NAME_WLE)
    set(generated ${CMAKE_BINARY_DIR}/desktop/${name})
    install(CODE "
        file(READ \"${D_TEMPLATE}\" text)
        string(REPLACE \"@VARNOLET_EXEC@\" \"\${CMAKE_INSTALL_PREFIX}/${D_EXECUTABLE}\" text \"\${text}\")
        file(WRITE \"${generated}\" \"\${text}\")")
    install(FILES ${generated} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size IN LISTS VARNOLET_ICON_SIZES)
        install(FILES ${VARNOLET_ICONS}/${size}x${size}/Varnolet.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${D_ICON_NAME}.png)
    endforeach()
    install(FILES ${VARNOLET_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${D_ICON_NAME}.svg)
    install(FILES ${D_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${D_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    if(VARNOLET_BUILD_TESTS)
        add_test(NAME ${D_TARGET}_command_line_matches_manual
            COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${D_TARGET}> -DNAME=${D_TARGET}
                    -DVERSION=${PROJECT_VERSION} -DMANUAL=${D_MANUAL} -DMETAINFO=${D_METAINFO}
                    -DCHANGELOG=${CMAKE_SOURCE_DIR}/debian/changelog
                    -P ${CMAKE_SOURCE_DIR}/cmake/CheckCommandLine.cmake)
        set_tests_properties(${D_TARGET}_command_line_matches_manual PROPERTIES LABELS unit TIMEOUT 60)
    endif()
endfunction()

# AppStream component ids, after the maker's web address (www.hollenby-industries.example).
set(VARNOLET_WIN_COMPONENT example.hollenby_industries.VarnoletWin)
set(VARNOLET_MAC_COMPONENT example.hollenby_industries.VarnoletMac)
set(VARNOLET_ICONS ${CMAKE_SOURCE_DIR}/win/resources/icons)
set(VARNOLET_ICON_SVG ${CMAKE_SOURCE_DIR}/win/resources/art/Varnolet.svg)
set(VARNOLET_ICON_SIZES 16 22 24 32 48 64 128 256)
varnolet_install_desktop_entry(TARGET VarnoletWin
    TEMPLATE ${CMAKE_SOURCE_DIR}/win/resources/desktop/varnolet-win.desktop.in
    ICON_NAME varnolet-win EXECUTABLE ${CMAKE_INSTALL_BINDIR}/VarnoletWin
    MANUAL ${CMAKE_SOURCE_DIR}/win/resources/man/VarnoletWin.1
    METAINFO ${CMAKE_SOURCE_DIR}/win/resources/desktop/${VARNOLET_WIN_COMPONENT}.metainfo.xml)
varnolet_install_desktop_entry(TARGET VarnoletMac
    TEMPLATE ${CMAKE_SOURCE_DIR}/mac/resources/desktop/varnolet-mac.desktop.in
    ICON_NAME varnolet-mac EXECUTABLE ${CMAKE_INSTALL_BINDIR}/VarnoletMac
    MANUAL ${CMAKE_SOURCE_DIR}/mac/resources/man/VarnoletMac.1
    METAINFO ${CMAKE_SOURCE_DIR}/mac/resources/desktop/${VARNOLET_MAC_COMPONENT}.metainfo.xml)
install(FILES ${CMAKE_SOURCE_DIR}/win/resources/desktop/70-varnolet-camera-button.rules
        DESTINATION ${VARNOLET_UDEV_RULES_DIR})

# CI: install into a scratch prefix and check what a desktop reads.
if(VARNOLET_BUILD_TESTS)
    add_test(NAME desktop_entries_install_and_validate
        COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/desktop-check
                -P ${CMAKE_SOURCE_DIR}/cmake/CheckDesktopEntries.cmake)
    set_tests_properties(desktop_entries_install_and_validate PROPERTIES LABELS unit TIMEOUT 120)
endif()
