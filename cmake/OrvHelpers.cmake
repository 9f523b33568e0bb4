# Helpers shared by the module CMakeLists files.

set(ORV_WARNINGS -Wall -Wextra -Wpedantic -Wshadow)
if(ORV_WERROR)
    list(APPEND ORV_WARNINGS -Werror)
endif()

function(orv_add_subdirectories parent)
    file(GLOB children LIST_DIRECTORIES true "${CMAKE_SOURCE_DIR}/${parent}/*")
    foreach(child IN LISTS children)
        if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
            add_subdirectory("${child}")
        endif()
    endforeach()
endfunction()

# orv_library(<target> [QT] [SOURCES files...] [DEPS targets...])
# Without the SOURCES keyword, every .cpp of the calling folder is taken; with it and an empty
# list the library is header-only. Core libraries (without QT) get
# -Wconversion and must not include Qt; QT libraries link the Qt modules they list in DEPS.
function(orv_library target)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
    if(NOT "SOURCES" IN_LIST ARGN)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    endif()
    if(ARG_SOURCES)
        add_library(${target} STATIC ${ARG_SOURCES})
        target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}/src")
        target_link_libraries(${target} PUBLIC ${ARG_DEPS})
        target_compile_options(${target} PRIVATE ${ORV_WARNINGS})
        if(NOT ARG_QT)
            target_compile_options(${target} PRIVATE -Wconversion)
        else()
            target_compile_definitions(${target} PUBLIC QT_NO_KEYWORDS)
            set_target_properties(${target} PROPERTIES AUTOMOC ON)
        endif()
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE "${CMAKE_SOURCE_DIR}/src")
        target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# orv_executable(<target> SOURCES files... [DEPS targets...])
function(orv_executable target)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS})
    target_compile_options(${target} PRIVATE ${ORV_WARNINGS})
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()

# orv_test(<name> [SOURCES files...] [DEPS targets...] [GUI])
# One GoogleTest executable per module, run by ctest as one test per case. Without SOURCES
# every *Test.cpp of the calling folder is taken. GUI tests run on the offscreen Qt platform.
function(orv_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;DEPS" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    endif()
    set(target test_${name})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} orv_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_options(${target} PRIVATE ${ORV_WARNINGS})
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS
        ORV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ORV_BINARY_DIR="${CMAKE_BINARY_DIR}")
    # One variable only: a list would not survive the test discovery's property passing.
    # GUI test programs choose the offscreen platform themselves when none is set.
    set(env "ORVCONTROL_TEST=1")
    if(ARG_GUI)
        set_target_properties(${target} PROPERTIES AUTOMOC ON)
    endif()
    include(GoogleTest)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "${env}" TIMEOUT 120)
endfunction()
