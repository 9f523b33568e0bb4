# Writes the manual page of one program from its --help (cmake -P, run by the build):
#   cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=path/to/orvtool -DDESCRIPTION="..."
#         -DVERSION=0.1.0 -DINCLUDE=packaging/orvcontrol.h2m -DOUTPUT=man/orvtool.1.gz
#         -P packaging/manpage.cmake
# The program runs as a user would start it: by its bare name (its usage line names no build
# path), in a neutral environment (its help shows "~/.config/..." rather than the builder's
# home, and the defaults rather than the builder's overrides). A program whose --help lists
# commands gets a COMMANDS section with each command's own --help.

foreach(var HELP2MAN GZIP PROGRAM DESCRIPTION VERSION INCLUDE OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "manpage.cmake: ${var} is not set")
    endif()
endforeach()

get_filename_component(name "${PROGRAM}" NAME)
get_filename_component(dir "${PROGRAM}" DIRECTORY)
get_filename_component(outdir "${OUTPUT}" DIRECTORY)
set(work "${outdir}/${name}.work")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

set(ENV{PATH} "${dir}:$ENV{PATH}")
set(ENV{HOME} "~")
set(ENV{LC_ALL} "C.UTF-8")
set(ENV{QT_QPA_PLATFORM} "offscreen")
# A sanitizer build still gets its pages: a leak report at exit is not the help text.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
foreach(var XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR ORVCONTROL_SETTINGS
        ORVCONTROL_CALIBRATION ORVCONTROL_PORT_PATTERN ORVCONTROL_CODEPAGE)
    unset(ENV{${var}})
endforeach()

# roff text from plain text: backslashes escaped, and no line that roff or help2man's include
# reader would take for a request, a section or a pattern.
function(orv_roff_escape text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'[/])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ "${INCLUDE}" include)
execute_process(COMMAND "${name}" --help WORKING_DIRECTORY "${work}"
    OUTPUT_VARIABLE help ERROR_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "manpage.cmake: '${name} --help' failed (${status}):\n${help}")
endif()

# Commands: the words at the start of the lines (indented by at most four spaces) of the block
# under a heading that ends in "commands:". Matched on the whole text, since help texts hold
# brackets that would break a CMake list of lines.
set(commands "")
if(help MATCHES "[Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:[ \t]*\n(([ \t][^\n]*\n)+)")
    string(REGEX MATCHALL "(^|\n) ? ? ? ?[a-z][a-z0-9_-]*" found "${CMAKE_MATCH_1}")
    foreach(entry IN LISTS found)
        string(STRIP "${entry}" entry)
        list(APPEND commands "${entry}")
    endforeach()
endif()

if(commands)
    string(APPEND include "\n[COMMANDS]\n")
    foreach(command IN LISTS commands)
        execute_process(COMMAND "${name}" ${command} --help WORKING_DIRECTORY "${work}"
            OUTPUT_VARIABLE text ERROR_VARIABLE text RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            # A command without help of its own is still listed in the description.
            continue()
        endif()
        string(STRIP "${text}" text)
        orv_roff_escape("${text}" text)
        string(APPEND include ".SS \"${name} ${command}\"\n.nf\n${text}\n.fi\n")
    endforeach()
endif()
file(WRITE "${work}/include.h2m" "${include}")

execute_process(COMMAND "${HELP2MAN}" --no-info --no-discard-stderr
        "--version-string=${VERSION}" --section=1 --source=OrvControl
        "--manual=User Commands" "--name=${DESCRIPTION}" "--include=${work}/include.h2m"
        "--output=${work}/${name}.1" "${name}"
    WORKING_DIRECTORY "${work}" RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "manpage.cmake: help2man failed for ${name}:\n${errors}")
endif()
execute_process(COMMAND "${GZIP}" -9nf "${work}/${name}.1" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "manpage.cmake: gzip failed for ${name}")
endif()
file(RENAME "${work}/${name}.1.gz" "${OUTPUT}")
file(REMOVE_RECURSE "${work}")
