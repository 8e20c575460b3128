# Debian packages made by CPack: the programs, the socket-thread library under its SONAME and
# its development files. `make package` runs it; tests/package checks the result.

set(PALAVERLY_PACKAGE_CONTACT "Palaverly developers <palaverly@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")
set(PALAVERLY_DEB_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)

# Debian wants a copyright file and a compressed changelog in every package's doc folder.
find_program(PALAVERLY_GZIP gzip REQUIRED)
set(PALAVERLY_DEB_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog)
configure_file(${PALAVERLY_DEB_DIR}/changelog ${PALAVERLY_DEB_CHANGELOG} COPYONLY)
add_custom_command(OUTPUT ${PALAVERLY_DEB_CHANGELOG}.gz
    COMMAND ${PALAVERLY_GZIP} -9 -n -k -f ${PALAVERLY_DEB_CHANGELOG}
    DEPENDS ${PALAVERLY_DEB_CHANGELOG}
    VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${PALAVERLY_DEB_CHANGELOG}.gz)

set(PALAVERLY_DEB_PROGRAMS palaverly)
set(PALAVERLY_DEB_LIBRARY libpalaverly-sockthread1)
set(PALAVERLY_DEB_DEV libpalaverly-sockthread-dev)
foreach(pair "programs;${PALAVERLY_DEB_PROGRAMS}" "sockthread;${PALAVERLY_DEB_LIBRARY}"
        "sockthread-dev;${PALAVERLY_DEB_DEV}")
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES ${PALAVERLY_DEB_DIR}/copyright ${PALAVERLY_DEB_CHANGELOG}.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# What the firewalls offer to open (nothing is opened by installing: Debian practice), and the
# user unit that runs palaverlyd as a service. firewalld and systemd read /usr/lib, never the
# multiarch library folder; ufw reads only /etc.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/firewalld/palaverly.xml
    DESTINATION lib/firewalld/services COMPONENT programs)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/ufw/palaverly
    DESTINATION /etc/ufw/applications.d COMPONENT programs)
# ExecStart names the program where it is really installed, known only when installing.
install(CODE "
    set(PALAVERLYD_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/palaverlyd\")
    configure_file([[${PROJECT_SOURCE_DIR}/packaging/systemd/palaverlyd.service.in]]
        [[${CMAKE_BINARY_DIR}/packaging/palaverlyd.service]] @ONLY)"
    COMPONENT programs)
install(FILES ${CMAKE_BINARY_DIR}/packaging/palaverlyd.service
    DESTINATION lib/systemd/user COMPONENT programs)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME palaverly)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PALAVERLY_PACKAGE_CONTACT})
# The autostart entry has an absolute destination: it must land in the staging folder, never
# in this machine's /etc, so the packages are staged through DESTDIR with a /usr prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs sockthread sockthread-dev)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE palaverly)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME ${PALAVERLY_DEB_PROGRAMS})
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_CONTROL_EXTRA ${PALAVERLY_DEB_DIR}/conffiles)
# What the programs load at run time, which shlibdeps cannot see: the Wayland platform plugin,
# libcanberra for the alert sound (dlopen) and a font with the Japanese texts of the wire.
# A GNOME desktop shows tray icons only with the AppIndicator extension.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS
    "qt6-wayland, libcanberra0, fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SUGGESTS gnome-shell-extension-appindicator)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "serverless chat for the office LAN, resident in the tray
Palaverly is a small chat tool for an office LAN of about ten people. There is
no server: stations find each other by UDP broadcast, keep a list of who is
present, send messages and BEEP alerts to the members you mark, keep a chat log
with a daily log file and scroll a ticker of bulletins. It speaks the wire
protocol of the Windows stations of the original program.
.
This package holds the desktop program palaverly, which lives in the system
tray and starts with the desktop session, and the headless station palaverlyd,
driven by lines on standard input.")

set(CPACK_DEBIAN_SOCKTHREAD_PACKAGE_NAME ${PALAVERLY_DEB_LIBRARY})
set(CPACK_DEBIAN_SOCKTHREAD_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_SOCKTHREAD_PACKAGE_CONTROL_EXTRA ${PALAVERLY_DEB_DIR}/triggers)
# A shlibs file lets packages linking the library depend on it. CPack also writes maintainer
# scripts that call ldconfig; the trigger is what current dpkg expects, so they are taken out.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebNoLdconfig.cmake)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_SOCKTHREAD_DESCRIPTION
    "Palaverly socket-thread library
C++ classes for TCP sockets served by a worker thread of their own:
CSockThread (a socket with a worker thread that can be started, paused and
resumed), CClient (a connection to be made to a host and port), CUser (an
accepted connection) and CLog (the log they carry). The chat programs
themselves do not use them.
.
This package holds the shared library.")

set(CPACK_DEBIAN_SOCKTHREAD-DEV_PACKAGE_NAME ${PALAVERLY_DEB_DEV})
set(CPACK_DEBIAN_SOCKTHREAD-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_SOCKTHREAD-DEV_PACKAGE_DEPENDS "${PALAVERLY_DEB_LIBRARY} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_SOCKTHREAD-DEV_DESCRIPTION
    "Palaverly socket-thread library - development files
C++ classes for TCP sockets served by a worker thread of their own:
CSockThread (a socket with a worker thread that can be started, paused and
resumed), CClient (a connection to be made to a host and port), CUser (an
accepted connection) and CLog (the log they carry). The chat programs
themselves do not use them.
.
This package holds the headers, the link-time library name and the pkg-config
and CMake files.")

include(CPack)
