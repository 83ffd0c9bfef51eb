# Install rules and the Debian package: programs in bin/, what the program reads in share/tivor/,
# desktop entry, file type, software-centre metadata, icon and manual page; "cpack -G DEB" in the build folder makes tivor_<version>_<arch>.deb.
include(GNUInstallDirs)

install(TARGETS tivor tivor-sign tivor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tivor-server)
    install(TARGETS tivor-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # The service: its unit (disabled until the operator enables it), an example configuration kept as a
    # conffile, and the maintainer scripts that make its user.
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/tivor-server.service DESTINATION /lib/systemd/system)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/tivor-server.json DESTINATION /etc/tivor)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
        "${PROJECT_SOURCE_DIR}/packaging/conffiles;${PROJECT_SOURCE_DIR}/packaging/postinst;${PROJECT_SOURCE_DIR}/packaging/prerm;${PROJECT_SOURCE_DIR}/packaging/postrm")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
endif()

# The help document; the program looks for it in ../share/tivor beside its bin/.
install(FILES ${PROJECT_SOURCE_DIR}/src/gui/help/tivor.html DESTINATION ${CMAKE_INSTALL_DATADIR}/tivor)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tivor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The .mnm file type and the software-centre listing; Debian's triggers update the MIME and desktop databases.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tivor-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME tivor.xml)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/com.example.tivor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/src/gui/resources/tivor.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Debian wants the licence of every package in its doc folder, under the package's own (lower-case) name.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tivor)

# Debian keeps manual pages compressed; -n leaves the time out so the package builds the same twice.
find_program(TIVOR_GZIP gzip)
if(TIVOR_GZIP)
    set(tivor_man ${CMAKE_CURRENT_BINARY_DIR}/tivor-cli.1.gz)
    add_custom_command(OUTPUT ${tivor_man}
        COMMAND ${TIVOR_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/tivor-cli.1 > ${tivor_man}
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/tivor-cli.1 VERBATIM)
    add_custom_target(tivor_manpage ALL DEPENDS ${tivor_man})
    install(FILES ${tivor_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/tivor-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tivor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tivor")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CONTACT "Equipo Tivor <tivor@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "carga de mensajes para carteles electronicos por puerto serie")
set(CPACK_PACKAGE_DESCRIPTION "Tivor compone mensajes de hasta 64 paginas para carteles de mensajes LED
(texto, efecto, pausa y alineacion por pagina), los guarda en archivos .mnm
y los carga en el cartel por una linea serie. Tambien pone en hora el reloj
del cartel.

tivor-cli hace lo mismo desde scripts (por ejemplo desde cron), tivor-server
desde la red con una API HTTP, y tivor-sign es un cartel virtual para probar
sin el aparato.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps finds the exact runtime libraries (Qt 6 Core, Gui, Widgets, SerialPort, libc...).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own buttons and dialogs in Spanish; the program works without it, in English buttons.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
