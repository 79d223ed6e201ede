# Fails when a program's man page has a mistake groff finds, or leaves out a command or an option
# that the program's own --help lists.
# Run: cmake -DMAN=<docs/troveport-setup.1> -DPROGRAM=<troveport-setup> -P scripts/check-manpage.cmake

find_program(GROFF groff)
if(NOT GROFF)
    message(FATAL_ERROR "groff is missing: scripts/install-deps.sh installs groff-base")
endif()
execute_process(COMMAND ${GROFF} -man -ww -z ${MAN} RESULT_VARIABLE status ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "groff finds mistakes in ${MAN}:\n${warnings}")
endif()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE usage RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
file(READ ${MAN} page)
# The page as a reader sees its words: "\-" is a "-", font changes are no text.
string(REPLACE "\\-" "-" page "${page}")
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")
string(REGEX REPLACE "\n\\.[A-Z]+ " "\n" page "${page}")
string(REPLACE "\"" "" page "${page}")
# The commands and options of the usage text: its lines of two blanks and a lowercase word or an
# option.
string(REGEX MATCHALL "\n  ([a-z][-a-z]*( [a-z][-a-z]*)?|--[a-z][-a-z]*)" commands "${usage}")
set(missing "")
set(checked 0)
foreach(command IN LISTS commands)
    string(STRIP "${command}" command)
    string(FIND "${page}" "${command}" at)
    if(at EQUAL -1)
        list(APPEND missing "${command}")
    endif()
    math(EXPR checked "${checked} + 1")
endforeach()
if(missing)
    message(FATAL_ERROR "${MAN} does not describe: ${missing}")
endif()
if(checked EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help lists no commands or options: its form has changed")
endif()
message(STATUS "${MAN}: no mistakes, all ${checked} commands and options of --help described")
