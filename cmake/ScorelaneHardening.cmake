# Debian's hardening flags for every target, as dpkg-buildflags gives them with
# DEB_BUILD_MAINT_OPTIONS=hardening=+all, so that the package passes lintian's hardening
# checks. CMake reads CFLAGS, CXXFLAGS and LDFLAGS only at the first configure and never
# CPPFLAGS, which holds -D_FORTIFY_SOURCE: the flags are asked for here. Optimisation and
# debug flags stay the build type's; _FORTIFY_SOURCE needs optimisation and is left out of
# Debug builds. The sanitizer build (scripts/check.sh) switches this off.
option(SCORELANE_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)

if(SCORELANE_HARDENING)
    find_program(SCORELANE_DPKG_BUILDFLAGS dpkg-buildflags)
    if(NOT SCORELANE_DPKG_BUILDFLAGS)
        message(STATUS "dpkg-buildflags not found (dpkg-dev): built without Debian's hardening flags")
    else()
        foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
            execute_process(
                COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${SCORELANE_DPKG_BUILDFLAGS} --get ${kind}
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
            if(NOT result EQUAL 0)
                message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
            endif()
            separate_arguments(flags UNIX_COMMAND "${flags}")
            foreach(flag IN LISTS flags)
                if(kind STREQUAL "LDFLAGS")
                    add_link_options(${flag})
                elseif(flag MATCHES "^-D_FORTIFY_SOURCE")
                    add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
                elseif(flag MATCHES "^-(fstack-protector|fstack-clash-protection|fcf-protection|fPIE|Wformat|Werror=format-security)")
                    add_compile_options(${flag})
                endif()
            endforeach()
        endforeach()
        message(STATUS "Debian's hardening flags from dpkg-buildflags: on")
    endif()
endif()
