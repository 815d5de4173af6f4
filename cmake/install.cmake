# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` places, in the XDG places under the prefix:
#   bin/varkelon                                   the program
#   share/varkelon/brelmonddat1.dat                the style data file (found from
#                                                  bin/ as ../share/varkelon)
#   share/applications/varkelon.desktop            the menu entry
#   share/metainfo/org.varkelon.varkelon.metainfo.xml
#                                                  the AppStream metadata
#   share/icons/hicolor/NxN/apps/varkelon.png      the window icon, every size
#   share/man/man1/varkelon.1.gz                   the manual page, and in Russian
#   share/man/ru/man1/varkelon.1.gz
#   share/doc/varkelon/copyright, changelog.gz     the licence of every file, the history
# and how `cpack -G DEB` makes a Debian package of the same files.

include(GNUInstallDirs)

# The data file goes in either build; the rest only with the program.
install(FILES ${VARKELON_DATA_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/varkelon)
if(VARKELON_CORE_ONLY)
    return()
endif()

install(TARGETS varkelon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/varkelon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon renderings, drawn by the same code as the window's icon.
set(VARKELON_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(icon_outputs)
foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND icon_outputs ${VARKELON_ICON_DIR}/hicolor/${size}x${size}/apps/varkelon.png)
endforeach()
add_custom_command(OUTPUT ${icon_outputs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:varkelon-art> icons ${VARKELON_ICON_DIR}
    DEPENDS varkelon-art
    COMMENT "Drawing the icon theme's renderings of the window icon")
add_custom_target(varkelon_icons ALL DEPENDS ${icon_outputs})
install(DIRECTORY ${VARKELON_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

install(FILES ${CMAKE_SOURCE_DIR}/data/org.varkelon.varkelon.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog are installed compressed, as Debian policy
# wants them; -n keeps the file's time out of the archive, so a rebuild gives
# the same bytes.
set(compressed_outputs)
function(varkelon_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/gz
        COMMAND gzip -9nc ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()
set(VARKELON_GZ_DIR ${CMAKE_BINARY_DIR}/gz)
varkelon_gzip(${CMAKE_SOURCE_DIR}/man/man1/varkelon.1 ${VARKELON_GZ_DIR}/varkelon.1.gz)
varkelon_gzip(${CMAKE_SOURCE_DIR}/man/ru/man1/varkelon.1 ${VARKELON_GZ_DIR}/varkelon.ru.1.gz)
varkelon_gzip(${CMAKE_SOURCE_DIR}/data/debian/changelog ${VARKELON_GZ_DIR}/changelog.gz)
add_custom_target(varkelon_compressed ALL DEPENDS
    ${VARKELON_GZ_DIR}/varkelon.1.gz ${VARKELON_GZ_DIR}/varkelon.ru.1.gz
    ${VARKELON_GZ_DIR}/changelog.gz)
install(FILES ${VARKELON_GZ_DIR}/varkelon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VARKELON_GZ_DIR}/varkelon.ru.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1
        RENAME varkelon.1.gz)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${VARKELON_GZ_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# ------------------------------------------------------------ Debian package
# Whoever builds the package for others puts their own name and address
# here: cmake -DVARKELON_MAINTAINER="Name <address>" ...
set(VARKELON_MAINTAINER "Varkelon developers <maintainers@varkelon.org>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varkelon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Varkelon developers")
set(CPACK_PACKAGE_CONTACT ${VARKELON_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arranger keyboard for learning, played on the computer keyboard")
# CPack puts the summary on the first line and indents the rest itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Варкелон turns the PC into an arranger keyboard: 37 on-screen piano keys
played with the mouse or the computer keyboard, eight drum pads on F1 to F8,
seven drum-and-accompaniment styles that follow the chord the left hand
picks, tempo, instrument and volume panels, and a demonstration piece.

Every sound is a General MIDI message, by default to the built-in
FluidSynth synthesizer with the system's GM SoundFont, or to any ALSA or
JACK MIDI output port. The interface is in Russian.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARKELON_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON) # the debugging symbols stay in the build tree
# A stripped install also drops the sections Debian's own strip drops: the
# compiler's .comment and the .note section, which nothing reads at run time.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/varkelon\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
# The shared libraries the binary links (Qt 6 widgets, RtMidi, FluidSynth, ...)
# come from dpkg-shlibdeps; what it cannot see is listed here: Qt's platform
# plugins, a GM SoundFont for the built-in synth, and the window's font
# (PT Sans, see src/ui/fonts.h).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fluid-soundfont-gm | timgm6mb-soundfont, fonts-paratype")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2, qjackctl")
include(CPack)
