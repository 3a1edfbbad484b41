# The controller's panels and texts on top of the settings: the settings panel, the about
# box, the adjust panel's opening and closing, and the retitling of the user interface.
add_library(varnolet_mac_panels STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AboutBox.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AdjustPanelActions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LanguageRetitler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NSTextFieldClickable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PanelPlacement.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsPanel.cpp)
target_include_directories(varnolet_mac_panels PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(varnolet_mac_panels PUBLIC varnolet_mac_controller Qt6::Widgets)

# Joined to the controller and the main window, in the program.
add_library(varnolet_mac_panels_wiring STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AppControllerPanelHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MacPanels.cpp)
target_link_libraries(varnolet_mac_panels_wiring PUBLIC varnolet_mac_panels
    varnolet_mac_widgets varnolet_mac_uvc_widgets)
target_link_libraries(VarnoletMac PRIVATE varnolet_mac_panels_wiring)
