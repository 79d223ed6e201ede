# Fails when a program does not answer --version and --help without a display, or touches settings
# doing so, or when the metainfo does not list the project's version among its releases.
# Run without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM (cmake -E env --unset=...):
#   cmake -DEXPLORER=<troveport-explorer> -DSETUP=<troveport-setup> -DVERSION=<x.y.z>
#         -DMETAINFO=<metainfo.xml> -DSCRATCH=<empty directory> -P scripts/check-version.cmake

foreach(variable DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM)
    if(DEFINED ENV{${variable}})
        message(FATAL_ERROR "${variable} is set: this check is about running without a display")
    endif()
endforeach()

# Settings that would be read or written land in SCRATCH, which must stay empty.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
set(ENV{TROVEPORT_MACHINE_REG} ${SCRATCH}/machine.reg)
set(ENV{TROVEPORT_USER_REG} ${SCRATCH}/user.reg)
set(ENV{XDG_CONFIG_HOME} ${SCRATCH}/config)
set(ENV{HOME} ${SCRATCH}/home)

function(expect program arguments expected)
    execute_process(COMMAND ${program} ${arguments} OUTPUT_VARIABLE out ERROR_VARIABLE err
                    RESULT_VARIABLE status TIMEOUT 30)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${program} ${arguments} failed (${status}): ${err}")
    endif()
    if(NOT out MATCHES "${expected}")
        message(FATAL_ERROR "${program} ${arguments} printed \"${out}\", not \"${expected}\"")
    endif()
endfunction()

string(REPLACE "." "\\." version "${VERSION}")
expect(${EXPLORER} --version "^troveport-explorer ${version}\n$")
expect(${EXPLORER} --help "^Usage: troveport-explorer .*--version")
expect(${SETUP} --version "^troveport-setup ${version}\n$")

file(GLOB_RECURSE left ${SCRATCH}/*)
if(left)
    message(FATAL_ERROR "--version or --help left files behind: ${left}")
endif()

file(READ ${METAINFO} metainfo)
if(NOT metainfo MATCHES "<release version=\"${version}\"")
    message(FATAL_ERROR "${METAINFO} has no release ${VERSION}: add it to data/troveport-explorer.metainfo.xml.in")
endif()
message(STATUS "both programs answer --version ${VERSION} without a display; the metainfo lists it")
