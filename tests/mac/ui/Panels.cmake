# The panels' tests: the settings panel, the about box, the adjust panel's opening and
# closing, and the retitling, over the shipped language files.
varnolet_add_test(NAME test_mac_panels
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/SettingsPanelTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/SettingsPanelLayoutTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/AboutBoxTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/LanguageRetitlerTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/AdjustPanelActionsTest.cpp
    LIBS varnolet_mac_panels Qt6::Test)
add_dependencies(test_mac_panels varnolet_mac_resources)

# The panels joined to the real controller and main window.
varnolet_add_test(NAME test_mac_panels_wiring
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MacPanelsTest.cpp
    LIBS varnolet_mac_panels_wiring Qt6::Test)
add_dependencies(test_mac_panels_wiring varnolet_mac_resources)

# The panel against the capture thread's reads of the settings (also run under
# ThreadSanitizer).
varnolet_add_test(NAME test_mac_panels_threads
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SettingsPanelThreadsTest.cpp
    LIBS varnolet_mac_panels
    LABELS threads)
add_dependencies(test_mac_panels_threads varnolet_mac_resources)
