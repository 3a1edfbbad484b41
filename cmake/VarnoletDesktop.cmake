# What a desktop needs beyond the programs' own trees: a menu entry and an icon for each
# program, and the udev rule that lets the logged-in user read a camera's snapshot button.
# The entries' Exec lines are written at install time, so they name the prefix really
# installed to (cmake --install --prefix …).
include(GNUInstallDirs)
set(VARNOLET_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where cmake --install puts the udev rule, relative to the prefix")

# varnolet_install_desktop_entry(TARGET target TEMPLATE file ICON png ICON_NAME name
#                                EXECUTABLE path-below-prefix)
function(varnolet_install_desktop_entry)
    cmake_parse_arguments(D "" "TARGET;TEMPLATE;ICON;ICON_NAME;EXECUTABLE" "" ${ARGN})
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
    install(FILES ${D_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
            RENAME ${D_ICON_NAME}.png)
endfunction()

set(VARNOLET_ICON ${CMAKE_SOURCE_DIR}/win/resources/Resource/Image/Varnolet.png)
varnolet_install_desktop_entry(TARGET VarnoletWin
    TEMPLATE ${CMAKE_SOURCE_DIR}/win/resources/desktop/varnolet-win.desktop.in
    ICON ${VARNOLET_ICON} ICON_NAME varnolet-win EXECUTABLE VarnoletWin)
varnolet_install_desktop_entry(TARGET VarnoletMac
    TEMPLATE ${CMAKE_SOURCE_DIR}/mac/resources/desktop/varnolet-mac.desktop.in
    ICON ${VARNOLET_ICON} ICON_NAME varnolet-mac EXECUTABLE ${CMAKE_INSTALL_LIBDIR}/varnolet-mac/VarnoletMac)
install(FILES ${CMAKE_SOURCE_DIR}/win/resources/desktop/70-varnolet-camera-button.rules
        DESTINATION ${VARNOLET_UDEV_RULES_DIR})

# CI: install into a scratch prefix and check what a desktop reads.
if(VARNOLET_BUILD_TESTS)
    add_test(NAME desktop_entries_install_and_validate
        COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/desktop-check
                -P ${CMAKE_SOURCE_DIR}/cmake/CheckDesktopEntries.cmake)
    set_tests_properties(desktop_entries_install_and_validate PROPERTIES LABELS unit TIMEOUT 120)
endif()
