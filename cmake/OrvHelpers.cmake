# Helpers shared by the module CMakeLists files.

set(ORV_WARNINGS -Wall -Wextra -Wpedantic -Wshadow)
# g++ 12 reports -Wrestrict inside libstdc++'s string concatenation at -O2 and above (GCC bug
# 105329, fixed in 13): a false positive that would make every optimised build noisy.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND ORV_WARNINGS -Wno-restrict)
endif()
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

# The include directory of the calling folder below src/: build/include/<folder>/ holds links to
# this folder's own headers only, under their usual names ("config/Configuration.h"). A library
# sees its own headers and those of the libraries it links, so an include from a layer it does
# not depend on fails the build.
function(orv_folder_includes out)
    file(RELATIVE_PATH rel "${CMAKE_SOURCE_DIR}/src" "${CMAKE_CURRENT_SOURCE_DIR}")
    string(REPLACE "/" "_" id "${rel}")
    set(root "${CMAKE_BINARY_DIR}/include/${id}")
    get_property(done GLOBAL PROPERTY "orv_includes_${id}")
    if(NOT done)
        file(REMOVE_RECURSE "${root}")
        file(MAKE_DIRECTORY "${root}/${rel}")
        file(GLOB headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
        foreach(header IN LISTS headers)
            get_filename_component(name "${header}" NAME)
            file(CREATE_LINK "${header}" "${root}/${rel}/${name}" SYMBOLIC)
        endforeach()
        set_property(GLOBAL PROPERTY "orv_includes_${id}" TRUE)
    endif()
    set(${out} "${root}" PARENT_SCOPE)
endfunction()

# orv_library(<target> [QT] [SOURCES files...] [DEPS targets...])
# Without the SOURCES keyword, every .cpp of the calling folder is taken; with it and an empty
# list the library is header-only. Core libraries (without QT) get -Wconversion and cannot
# include Qt; QT libraries link the Qt modules they list in DEPS.
function(orv_library target)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
    if(NOT "SOURCES" IN_LIST ARGN)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    endif()
    orv_folder_includes(includes)
    if(ARG_SOURCES)
        add_library(${target} STATIC ${ARG_SOURCES})
        target_include_directories(${target} PUBLIC "${includes}")
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
        target_include_directories(${target} INTERFACE "${includes}")
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

# orv_test(<name> [SOURCES files...] [DEPS targets...] [GUI] [TIMEOUT seconds, default 120])
# One GoogleTest executable per module, run by ctest as one test per case. Without SOURCES
# every *Test.cpp of the calling folder is taken. GUI tests run on the offscreen Qt platform.
function(orv_test name)
    cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set(target test_${name})
    add_executable(${target} ${ARG_SOURCES})
    # Every test program, so that a build for the tests alone (the sanitizer builds) need not
    # build the window and the benchmarks.
    if(NOT TARGET orv_tests)
        add_custom_target(orv_tests)
    endif()
    add_dependencies(orv_tests ${target})
    # The test programs without a window (the core, the tools, the harnesses): what CI runs under
    # AddressSanitizer, labelled "core"; the window's are labelled "gui".
    if(ARG_GUI)
        set(labels gui)
    else()
        set(labels core)
        if(NOT TARGET orv_core_tests)
            add_custom_target(orv_core_tests)
        endif()
        add_dependencies(orv_core_tests ${target})
    endif()
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
        PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${ARG_TIMEOUT} LABELS ${labels})
endfunction()
