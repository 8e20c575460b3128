# Run by CPack once the packages are built. CPack gives a package with a shared library in
# /usr/lib postinst and postrm scripts that call ldconfig; the package's ldconfig trigger does
# that job, and a postrm would keep the removed package in dpkg's database until it is purged.
# The library package is unpacked, loses the two scripts and is packed again.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT deb MATCHES "/${CPACK_DEBIAN_SOCKTHREAD_PACKAGE_NAME}_[^/]*\\.deb$")
        continue()
    endif()
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND ${DPKG_DEB} --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build "${tree}" "${deb}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
