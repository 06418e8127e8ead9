# Installs like a desktop program: the three programs in bin, a menu entry and the icon in share,
# and a .deb (make package) whose dependencies dpkg-shlibdeps reads off the binaries.
include(GNUInstallDirs)

# rollcall installs itself (src/app); the tools are installed here.
install(TARGETS rollcall-find hlsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(ROLLCALL_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/rollcall.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/icon1.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME rollcall.svg)
endif()

set(CPACK_PACKAGE_NAME rollcall)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Rollcall finds Half-Life players: it asks a master server for the running \
servers, queries every server's players and lists the matches. Includes rollcall-find, the same \
search from the command line, and hlsim, a simulated network for trying it out.")
set(CPACK_PACKAGE_CONTACT "Rollcall maintainers <rollcall@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt 6 runtime packages (libqt6widgets6, libqt6network6, libqt6svg6...) come from the
# binaries themselves, so the list never drifts from what is linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The pictures are SVG, drawn by Qt's SVG image and icon plugins, which no binary links directly.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
include(CPack)
