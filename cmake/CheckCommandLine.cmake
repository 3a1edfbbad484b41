# Runs a built program the way a terminal without a display does and checks its command
# line against its manual page: --help and --version answer on stdout with status 0, the
# options --help lists are the options the manual page lists, an unknown option gives one
# line naming it and status 2, and the version agrees with the manual page, the AppStream
# entry's newest release and debian/changelog. Run by CTest (cmake -P) with
#   PROGRAM  the executable   NAME  its name   VERSION  the project's version
#   MANUAL, METAINFO, CHANGELOG  the files to compare with
set(no_display env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)

function(run_program out_result out_stdout out_stderr)
    execute_process(COMMAND ${no_display} ${PROGRAM} ${ARGN} TIMEOUT 20
                    RESULT_VARIABLE result OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
    set(${out_result} "${result}" PARENT_SCOPE)
    set(${out_stdout} "${stdout}" PARENT_SCOPE)
    set(${out_stderr} "${stderr}" PARENT_SCOPE)
endfunction()

# The long options named in a text, sorted, without repeats.
function(long_options text out)
    string(REGEX MATCHALL "--[a-z][a-z0-9-]*" found "${text}")
    list(REMOVE_DUPLICATES found)
    list(SORT found)
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

run_program(result help errors --help)
if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "${NAME} --help without a display: status ${result}, stderr:\n${errors}")
endif()
# Only the option lines of --help: its summary may mention options in passing.
string(REGEX MATCHALL "\n  --[a-z0-9-]+" help_lines "${help}")
long_options("${help_lines}" help_options)
if(NOT help_options)
    message(FATAL_ERROR "${NAME} --help lists no options:\n${help}")
endif()

# The manual's options are the .B/.BR lines of its OPTIONS section, "\-" written for "-".
file(READ ${MANUAL} manual)
string(REGEX REPLACE ".*\n\\.SH OPTIONS\n" "" section "${manual}")
string(REGEX REPLACE "\n\\.SH .*" "" section "${section}")
string(REGEX MATCHALL "\n\\.BR? [^\n]*" option_lines "${section}")
string(REPLACE "\\-" "-" option_lines "${option_lines}")
long_options("${option_lines}" manual_options)
if(NOT help_options STREQUAL manual_options)
    message(FATAL_ERROR "${NAME}: --help lists '${help_options}', ${MANUAL} lists '${manual_options}'")
endif()

run_program(result out errors --version)
if(NOT result EQUAL 0 OR NOT out STREQUAL "${NAME} ${VERSION}\n")
    message(FATAL_ERROR "${NAME} --version: status ${result}, said '${out}' '${errors}', expected '${NAME} ${VERSION}'")
endif()

foreach(wrong --no-such-option -q)
    run_program(result out errors --virtual-camera ${wrong})
    string(REGEX MATCHALL "\n" newlines "${errors}")
    list(LENGTH newlines lines)
    string(FIND "${errors}" "'${wrong}'" named)
    if(NOT result EQUAL 2 OR NOT out STREQUAL "" OR NOT lines EQUAL 1 OR named EQUAL -1)
        message(FATAL_ERROR "${NAME} ${wrong}: status ${result} (2 expected), stdout '${out}', stderr:\n${errors}")
    endif()
endforeach()

# Every place that states the version states this one.
if(NOT manual MATCHES "(^|\n)\\.TH [^\n]*\"Varnolet ${VERSION}\"")
    message(FATAL_ERROR "${MANUAL}: the .TH line does not give version ${VERSION}")
endif()
file(READ ${METAINFO} metainfo)
if(NOT metainfo MATCHES "<releases>[ \n]*<release version=\"([^\"]*)\"" OR NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${METAINFO}: the newest release is '${CMAKE_MATCH_1}', not ${VERSION}")
endif()
file(STRINGS ${CHANGELOG} top LIMIT_COUNT 1)
if(NOT top MATCHES "^varnolet \\(([^)-]*)[)-]" OR NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${CHANGELOG}: the newest entry is '${top}', not version ${VERSION}")
endif()
message(STATUS "${NAME}: options ${help_options}, version ${VERSION}")
