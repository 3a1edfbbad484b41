# One folder is one layer. A layer's library exports only its own folder: its PUBLIC include
# directory is a folder of the build tree that holds a single link, <folder> -> the source
# folder (include/<target>/mac/core -> mac/core). "mac/core/X.h" is found by the library and
# by everything that links it, and an include from a folder the target does not link is not
# found at all, so the build refuses an arrow that runs up.

# varnolet_layer(target [WIDGETS])
# Exports the folder of the calling CMakeLists.txt as the target's interface (PRIVATE for
# programs). A layer without WIDGETS is checked to reach no QtWidgets library.
function(varnolet_layer target)
    cmake_parse_arguments(L "WIDGETS" "" "" ${ARGN})
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    varnolet_export_folder(${target} ${folder})
    if(NOT L_WIDGETS)
        set_property(GLOBAL APPEND PROPERTY VARNOLET_NON_WIDGET_LAYERS ${target})
    endif()
endfunction()

# varnolet_export_folder(target folder)
# Lays include/<target>/<folder> as a link to the source folder and adds include/<target>
# to the target's include path.
function(varnolet_export_folder target folder)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PRIVATE ${root})
    elseif(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# Every library a target links, directly or through the libraries it links.
function(varnolet_collect_links target out)
    set(seen ${${out}})
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(links ${target} ${property})
        if(NOT links)
            continue()
        endif()
        foreach(link IN LISTS links)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
            if(link IN_LIST seen)
                continue()
            endif()
            list(APPEND seen ${link})
            if(TARGET ${link})
                get_target_property(aliased ${link} ALIASED_TARGET)
                if(aliased)
                    list(APPEND seen ${aliased})
                endif()
                varnolet_collect_links(${link} seen)
            endif()
        endforeach()
    endforeach()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# True in <out> when the libraries listed after it reach QtWidgets.
function(varnolet_reaches_widgets out)
    set(links ${ARGN})
    foreach(lib IN LISTS ARGN)
        if(TARGET ${lib})
            varnolet_collect_links(${lib} links)
        endif()
    endforeach()
    set(found "")
    foreach(link IN LISTS links)
        if(link MATCHES "Widgets")
            set(found ${link})
            break()
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Fails the configuration when a layer registered without WIDGETS reaches QtWidgets through
# any library it links, directly or not. Called once every folder has been added.
function(varnolet_check_layers)
    get_property(layers GLOBAL PROPERTY VARNOLET_NON_WIDGET_LAYERS)
    foreach(target IN LISTS layers)
        varnolet_reaches_widgets(widgets ${target})
        if(widgets)
            message(FATAL_ERROR "${target} must not link QtWidgets, but reaches ${widgets}")
        endif()
    endforeach()
endfunction()
