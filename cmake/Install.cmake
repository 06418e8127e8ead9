# Installs like a desktop program: rollcall and rollcall-find in bin; hlsim, a developer's tool,
# out of the PATH in lib/rollcall; manual pages, bash completion, menu entry, icon, AppStream
# metadata, licence and changelog in share; and a .deb (make package) that lintian accepts.
include(GNUInstallDirs)

set(ROLLCALL_APP_ID io.github.rollcall.rollcall)
set(ROLLCALL_HOMEPAGE https://rollcall.github.io/)
set(ROLLCALL_SOURCE_URL https://github.com/rollcall/rollcall)
set(ROLLCALL_MAINTAINER "Rollcall maintainers <rollcall@users.noreply.github.com>")
set(ROLLCALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/rollcall)
set(ROLLCALL_GENERATED ${CMAKE_BINARY_DIR}/install)

# rollcall_gzip(INPUT OUTPUT): OUTPUT is INPUT compressed the way Debian asks (cmake/Gzip.cmake).
function(rollcall_gzip input output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -P ${PROJECT_SOURCE_DIR}/cmake/Gzip.cmake
        DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/Gzip.cmake
        VERBATIM)
endfunction()

# rollcall installs itself (src/app); the tools are installed here.
install(TARGETS rollcall-find RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/assets/completion/rollcall-find
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# A fixed lib/rollcall, not the multiarch libdir, so the manual page can say where it is.
install(TARGETS hlsim RUNTIME DESTINATION lib/rollcall)
if(ROLLCALL_GUI)
    # The menu entry keeps the program's own name: that is the window's Wayland app id, which
    # desktops match against the entry to give the running window its icon.
    install(FILES ${PROJECT_SOURCE_DIR}/assets/rollcall.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/${ROLLCALL_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/icon1.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME rollcall.svg)
endif()

# Manual pages carry the version, filled in here.
set(manual_pages rollcall-find hlsim)
if(ROLLCALL_GUI)
    list(APPEND manual_pages rollcall)
endif()
set(compressed)
foreach(page IN LISTS manual_pages)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${ROLLCALL_GENERATED}/${page}.1 @ONLY)
    rollcall_gzip(${ROLLCALL_GENERATED}/${page}.1 ${ROLLCALL_GENERATED}/${page}.1.gz)
    list(APPEND compressed ${ROLLCALL_GENERATED}/${page}.1.gz)
    install(FILES ${ROLLCALL_GENERATED}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The package version comes from the newest Debian changelog entry, which must be for this release.
set(debian_changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${debian_changelog} ${PROJECT_SOURCE_DIR}/LICENSE)
file(STRINGS ${debian_changelog} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^rollcall \\(([^)]+)-([^)-]+)\\) ")
    message(FATAL_ERROR "${debian_changelog}: the first line should read 'rollcall (VERSION-RELEASE) ...'")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${debian_changelog}: the newest entry is for ${CMAKE_MATCH_1}, the project is "
                        "${PROJECT_VERSION}; add an entry for ${PROJECT_VERSION}-1 on top")
endif()
set(debian_release ${CMAKE_MATCH_2})
rollcall_gzip(${debian_changelog} ${ROLLCALL_GENERATED}/changelog.Debian.gz)
list(APPEND compressed ${ROLLCALL_GENERATED}/changelog.Debian.gz)
install(FILES ${ROLLCALL_GENERATED}/changelog.Debian.gz DESTINATION ${ROLLCALL_DOCDIR})
add_custom_target(rollcall_compressed_docs ALL DEPENDS ${compressed})

# The machine-readable copyright file quotes LICENSE, so the two never disagree.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" found "${licence}")
string(FIND "${licence}" "Permission is hereby granted" start)
if(NOT found OR start LESS 0)
    message(FATAL_ERROR "LICENSE: expected the MIT licence with its 'Copyright (c) ...' line")
endif()
set(ROLLCALL_COPYRIGHT "${CMAKE_MATCH_1}")
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " ROLLCALL_LICENSE_TEXT " ${licence}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/copyright.in ${ROLLCALL_GENERATED}/copyright @ONLY)
install(FILES ${ROLLCALL_GENERATED}/copyright DESTINATION ${ROLLCALL_DOCDIR})

set(CPACK_PACKAGE_NAME rollcall)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines as Debian shows them (under 80 columns); the empty line starts a paragraph.
set(CPACK_PACKAGE_DESCRIPTION [=[
Rollcall finds your friends on Half-Life servers. Type one or two player
names, a piece of the name or a wildcard pattern, and it asks a master server
for every running server, queries each server's player list, up to 99 at a
time, and lists every match with its server, ping, frags and time connected.
From a result it refreshes the row, shows the server's rules and players,
pings the server, copies its address or starts the game connected to it.

rollcall-find runs the same search from the command line, for scripts.
hlsim, a simulated network for developers, is in /usr/lib/rollcall.]=])
set(CPACK_PACKAGE_CONTACT "${ROLLCALL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${debian_release})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ROLLCALL_HOMEPAGE})
# The Qt 6 runtime packages (libqt6widgets6, libqt6network6, libqt6svg6...) come from the
# binaries themselves, so the list never drifts from what is linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The pictures are SVG, drawn by Qt's SVG image and icon plugins, which no binary links directly.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
include(CPack)
