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

# varnolet_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [LIST_AT_TEST_TIME])
# One GoogleTest program, registered with CTest test by test. Tests run with the
# offscreen Qt platform and a private HOME so they never touch the user's files; the test
# main sets VARNOLET_RUNTIME_DIR (the folder the build lays the program's data in).
# LIST_AT_TEST_TIME: the program's tests are listed when ctest runs, not when it is built
# (tests made from files read at run time).
function(varnolet_add_test)
    cmake_parse_arguments(T "LIST_AT_TEST_TIME" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} varnolet_test_support GTest::gtest GTest::gmock)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    set(mode POST_BUILD)
    if(T_LIST_AT_TEST_TIME)
        set(mode PRE_TEST)
    endif()
    gtest_discover_tests(${T_NAME}
        DISCOVERY_MODE ${mode}
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            LABELS "${T_LABELS}"
            ENVIRONMENT QT_QPA_PLATFORM=offscreen
            TIMEOUT 120)
endfunction()
