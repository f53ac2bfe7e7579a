# Installation and the Debian package (make package): the three programs in /usr/bin,
# the desktop entry, icons and AppStream metainfo so the window shows in the desktop's menu
# and in software centres, manual pages, the shell completion of qtm200cli, and the Debian
# dependencies worked out from the programs' libraries.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(QTM_PKG_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QTM_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qtm200debug)

install(TARGETS qtm200debug qtm200cli qtm200sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The desktop entry is named after the AppStream id, so that software centres find the
# window's metainfo through it.
install(FILES ${QTM_PKG_DIR}/io.github.qtm200debug.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QTM_PKG_DIR}/io.github.qtm200debug.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/res/qtm200debug.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)
install(FILES ${PROJECT_SOURCE_DIR}/res/qtm200debug.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${QTM_PKG_DIR}/copyright DESTINATION ${QTM_DOC_DIR})
# bash-completion loads a command's completion from a file named after the command.
install(FILES ${QTM_PKG_DIR}/qtm200cli.bash-completion RENAME qtm200cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Debian wants manual pages and the changelog compressed, reproducibly (no name, no time).
find_program(QTM_GZIP gzip REQUIRED)
set(QTM_COMPRESSED)
foreach(page qtm200cli.1 qtm200sim.1 qtm200debug.1 changelog)
    set(out ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
        COMMAND ${QTM_GZIP} -9nc ${QTM_PKG_DIR}/${page} > ${out}
        DEPENDS ${QTM_PKG_DIR}/${page} VERBATIM)
    list(APPEND QTM_COMPRESSED ${out})
endforeach()
add_custom_target(qtm_packaging_files ALL DEPENDS ${QTM_COMPRESSED})
install(FILES ${CMAKE_BINARY_DIR}/packaging/qtm200cli.1.gz ${CMAKE_BINARY_DIR}/packaging/qtm200sim.1.gz
              ${CMAKE_BINARY_DIR}/packaging/qtm200debug.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${QTM_DOC_DIR})

# The logger as a system service: the template unit, its system user (in dialout, through
# sysusers), and an example of the per-instance argument file under /etc/qtm200/.
install(FILES ${QTM_PKG_DIR}/qtm200-logger@.service DESTINATION lib/systemd/system)
install(FILES ${QTM_PKG_DIR}/qtm200-logger.sysusers DESTINATION lib/sysusers.d RENAME qtm200.conf)
install(FILES ${QTM_PKG_DIR}/logger-example.conf DESTINATION ${QTM_DOC_DIR}/examples)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${QTM_PKG_DIR}/postinst)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qtm200debug)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "QTM200Debug developers <qtm200debug@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and data tool for QTX optical meters")
# CPack puts the summary first and indents these lines itself; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "QTM200Debug finds a QTX-series hand-held optical meter (PPFD, illuminance,
luminance, UV, IR, laser power) or a QTM300 meter on a USB or RS-485 serial
port, runs live measurements with a rolling chart and a reading list, imports
the meter's stored records, exports CSV, and does the service work.

The package holds the window (qtm200debug), a command-line tool (qtm200cli)
and a meter simulator (qtm200sim) for trying both without hardware.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries come from dpkg-shlibdeps; the window also needs Qt's platform plugins
# (not a library it links) and a font that has the Chinese captions, and the CLI's MQTT
# publisher libmosquitto (named too, so the package keeps it whichever program links it), and
# adduser, which the set-up script falls back on to make the logger's user.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk, libmosquitto1, adduser")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
