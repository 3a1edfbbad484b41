# add_subdirectory for every listed folder. A listed folder without its CMakeLists.txt
# stops the configuration: a subsystem that went missing must not leave a build that
# passes without it.
function(varnolet_add_subdirectories)
    foreach(dir IN LISTS ARGN)
        if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt is missing")
        endif()
        add_subdirectory(${dir})
    endforeach()
endfunction()

# varnolet_add_test(NAME name SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest program, registered with CTest test by test. Tests run with the
# offscreen Qt platform and a private HOME so they never touch the user's files; the test
# main sets VARNOLET_RUNTIME_DIR (the folder the build lays the program's data in). A test
# whose libraries reach QtWidgets runs inside a QApplication; every other test gets the
# support library without widgets and a QGuiApplication.
function(varnolet_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    varnolet_reaches_widgets(widgets ${T_LIBS})
    if(widgets)
        set(main varnolet_test_main_widgets)
    else()
        set(main varnolet_test_main)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} varnolet_test_support ${main} GTest::gtest
        GTest::gmock)
    # Movie thumbnails come from the helper beside the test program.
    add_dependencies(${T_NAME} varnolet-thumbnailer)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    gtest_discover_tests(${T_NAME}
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            LABELS "${T_LABELS}"
            ENVIRONMENT QT_QPA_PLATFORM=offscreen
            TIMEOUT 120)
endfunction()
