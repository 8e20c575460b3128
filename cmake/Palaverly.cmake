# Shared build settings for every target of the project.

set(PALAVERLY_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers)
if(PALAVERLY_FUZZ)
    # Every library is instrumented for coverage; only the fuzz targets link the fuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
if(PALAVERLY_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

# Core targets must never depend on Qt; they are recorded here and checked at the end.
set_property(GLOBAL PROPERTY PALAVERLY_CORE_TARGETS "")

function(palaverly_target_defaults target)
    target_compile_options(${target} PRIVATE ${PALAVERLY_WARNINGS})
endfunction()

# palaverly_core_library(name SOURCES ... DEPS ...): a Qt-free static library of the core.
function(palaverly_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    if(NOT ARG_SOURCES)
        # A subsystem whose sources are not written yet: headers only.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        set_property(GLOBAL APPEND PROPERTY PALAVERLY_CORE_TARGETS ${name})
        return()
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    palaverly_target_defaults(${name})
    set_property(GLOBAL APPEND PROPERTY PALAVERLY_CORE_TARGETS ${name})
endfunction()

# palaverly_unit_test(name SOURCES ... DEPS ... [LABELS ...]): a GoogleTest executable
# registered with CTest, one CTest entry per test case.
function(palaverly_unit_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    palaverly_target_defaults(${name})
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS "${ARG_LABELS}" DISCOVERY_TIMEOUT 60)
endfunction()

function(palaverly_check_core_is_qt_free)
    get_property(targets GLOBAL PROPERTY PALAVERLY_CORE_TARGETS)
    foreach(t IN LISTS targets)
        get_target_property(libs ${t} LINK_LIBRARIES)
        get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
        list(APPEND libs ${ilibs})
        foreach(l IN LISTS libs)
            if(l MATCHES "Qt")
                message(FATAL_ERROR "Core target ${t} links ${l}: the core must stay free of Qt")
            endif()
        endforeach()
    endforeach()
endfunction()
