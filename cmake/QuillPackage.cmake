# The Debian package (scripts/package.sh: cpack -G DEB in a tree configured with prefix /usr).
# Its dependencies are what dpkg-shlibdeps finds the binaries need, never a hand-kept list; the
# maintainer scripts only use tools of the base system (passwd's groupadd, coreutils' install).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quill)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quill maintainers <quill@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-wedge barcode scanner plug-in and its reference host")
set(CPACK_PACKAGE_DESCRIPTION
    "Quill.plu, the run-time libquillrt that hosts share with it, the reference host quill-host,
the headers and pkg-config file for writing a host, and a udev rule that lets a group read
scanners' input devices.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Files go to /usr and /etc as the install rules say (an absolute destination needs DESTDIR).
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libquillrt comes with the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd")

foreach(script postinst postrm)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${script}.in ${CMAKE_BINARY_DIR}/packaging/${script}
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles "${QUILL_TUNING_FILE}\n")
# The dynamic linker's cache learns of libquillrt.so.1 when the package comes and goes.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/conffiles
                                       ${CMAKE_BINARY_DIR}/packaging/triggers
                                       ${CMAKE_BINARY_DIR}/packaging/postinst
                                       ${CMAKE_BINARY_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
