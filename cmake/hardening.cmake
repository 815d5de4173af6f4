# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags, as dpkg-buildflags gives them with every hardening
# feature on: a fortified libc (-D_FORTIFY_SOURCE), the stack protector,
# format-string checks, and read-only relocations bound at start (relro,
# bindnow). The program and everything linked into it get them, so the
# package passes lintian's hardening checks. The build type keeps its own
# optimisation and debugging flags; fortification needs optimisation, so a
# Debug build goes without it.

option(VARKELON_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
if(NOT VARKELON_HARDENING OR VARKELON_CORE_ONLY)
    return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    message(STATUS "dpkg-buildflags not found: building without Debian's hardening flags")
    return()
endif()

function(varkelon_buildflags kind out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

varkelon_buildflags(CPPFLAGS cppflags)
varkelon_buildflags(CXXFLAGS cxxflags)
varkelon_buildflags(LDFLAGS ldflags)

set(applied)
foreach(flag IN LISTS cppflags cxxflags)
    if(flag MATCHES "^-D_FORTIFY_SOURCE")
        add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
        list(APPEND applied ${flag})
    elseif(flag MATCHES "^-(fstack-protector|fstack-clash-protection|fcf-protection|Wformat|Werror=format-security)")
        add_compile_options(${flag})
        list(APPEND applied ${flag})
    endif()
endforeach()
# -g, -O2 and the like stay the build type's business.
foreach(flag IN LISTS ldflags)
    if(flag MATCHES "^-Wl,-z,(relro|now)$")
        add_link_options(${flag})
        list(APPEND applied ${flag})
    endif()
endforeach()
list(JOIN applied " " applied)
message(STATUS "Hardening flags of dpkg-buildflags: ${applied}")
