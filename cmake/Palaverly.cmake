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

# Every library of ours is recorded in the order it is declared; a library may link only the
# libraries declared before it, so dependencies point one way. Core libraries must never
# depend on Qt. Both rules are checked at the end of the configure step.
set_property(GLOBAL PROPERTY PALAVERLY_CORE_TARGETS "")
set_property(GLOBAL PROPERTY PALAVERLY_LAYERED_TARGETS "")

function(palaverly_target_defaults target)
    target_compile_options(${target} PRIVATE ${PALAVERLY_WARNINGS})
endfunction()

# palaverly_core_library(name SOURCES ... DEPS ...): a Qt-free static library of the core.
function(palaverly_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    palaverly_target_defaults(${name})
    set_property(GLOBAL APPEND PROPERTY PALAVERLY_CORE_TARGETS ${name})
    set_property(GLOBAL APPEND PROPERTY PALAVERLY_LAYERED_TARGETS ${name})
endfunction()

# palaverly_qt_library(name SOURCES ... DEPS ...): a static library of the Qt front end.
function(palaverly_qt_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    palaverly_target_defaults(${name})
    # moc needs only our headers, not the libraries below built first.
    set_property(TARGET ${name} PROPERTY AUTOGEN_ORIGIN_DEPENDS OFF)
    set_property(GLOBAL APPEND PROPERTY PALAVERLY_LAYERED_TARGETS ${name})
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

# Stops the configure step when a library links one of ours that is declared after it (or
# itself): such a back edge would let the lower layers know the upper ones.
function(palaverly_check_layers)
    get_property(targets GLOBAL PROPERTY PALAVERLY_LAYERED_TARGETS)
    set(index 0)
    foreach(t IN LISTS targets)
        get_target_property(libs ${t} LINK_LIBRARIES)
        get_target_property(ilibs ${t} INTERFACE_LINK_LIBRARIES)
        list(APPEND libs ${ilibs})
        list(REMOVE_DUPLICATES libs)
        foreach(l IN LISTS libs)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
            list(FIND targets "${l}" position)
            if(position GREATER_EQUAL index)
                message(FATAL_ERROR
                    "Library ${t} links ${l}, which is declared after it: dependencies must "
                    "point one way (declare ${l} first or move the code it needs down)")
            endif()
        endforeach()
        math(EXPR index "${index} + 1")
    endforeach()
endfunction()
