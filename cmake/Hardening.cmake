# Debian's hardening flags for the optimised builds, the ones the packages are made from:
# stack protector, _FORTIFY_SOURCE, full RELRO with BIND_NOW and PIE. They are what
# dpkg-buildflags adds with hardening=+all over hardening=-all, so the optimisation, debug
# and path-mapping flags stay CMake's. Sanitizer and fuzz builds go without: they are Debug
# builds, where _FORTIFY_SOURCE warns (an error here), and the sanitizers check memory there.

set(PALAVERLY_HARDENING_CONFIGS Release RelWithDebInfo MinSizeRel)

# palaverly_buildflags(VAR FLAGS): the words of dpkg-buildflags' FLAGS that hardening adds.
function(palaverly_buildflags var flags)
    foreach(mode on off)
        set(setting +all)
        if(mode STREQUAL off)
            set(setting -all)
        endif()
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env --unset=DEB_BUILD_OPTIONS
                "DEB_BUILD_MAINT_OPTIONS=hardening=${setting}" ${PALAVERLY_DPKG_BUILDFLAGS}
                --get ${flags}
            OUTPUT_VARIABLE out OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "dpkg-buildflags --get ${flags} failed")
        endif()
        separate_arguments(words_${mode} UNIX_COMMAND "${out}")
    endforeach()
    set(added ${words_on})
    if(words_off)
        list(REMOVE_ITEM added ${words_off})
    endif()
    set(${var} ${added} PARENT_SCOPE)
endfunction()

if(NOT PALAVERLY_SANITIZE AND NOT PALAVERLY_FUZZ)
    # Executables are linked as PIE, not merely compiled for it.
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES C CXX)
    find_program(PALAVERLY_DPKG_BUILDFLAGS dpkg-buildflags)
    if(PALAVERLY_DPKG_BUILDFLAGS)
        palaverly_buildflags(hardening_cpp CPPFLAGS)
        palaverly_buildflags(hardening_c CFLAGS)
        palaverly_buildflags(hardening_cxx CXXFLAGS)
        palaverly_buildflags(hardening_ld LDFLAGS)
    else()
        # The same set by hand where dpkg-dev is missing (another distribution).
        set(hardening_cpp -D_FORTIFY_SOURCE=2)
        set(hardening_c -fstack-protector-strong -Wformat -Werror=format-security)
        set(hardening_cxx ${hardening_c})
        set(hardening_ld -Wl,-z,relro -Wl,-z,now)
    endif()
    # A compiler that fortifies by default would warn of the second definition.
    if(hardening_cpp MATCHES "-D_FORTIFY_SOURCE")
        list(PREPEND hardening_cpp -U_FORTIFY_SOURCE)
    endif()
    list(JOIN PALAVERLY_HARDENING_CONFIGS "," configs)
    set(optimised "$<CONFIG:${configs}>")
    add_compile_options(
        "$<${optimised}:$<$<COMPILE_LANGUAGE:C,CXX>:${hardening_cpp}>>"
        "$<${optimised}:$<$<COMPILE_LANGUAGE:C>:${hardening_c}>>"
        "$<${optimised}:$<$<COMPILE_LANGUAGE:CXX>:${hardening_cxx}>>")
    add_link_options("$<${optimised}:${hardening_ld}>")
    list(JOIN PALAVERLY_HARDENING_CONFIGS ", " names)
    string(REPLACE ";" " " shown "${hardening_cpp};${hardening_cxx};${hardening_ld}")
    message(STATUS "Hardening of the ${names} builds: ${shown}")
endif()
