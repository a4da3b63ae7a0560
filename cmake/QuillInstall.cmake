# What `cmake --install` puts where (Linux). GNUInstallDirs and QUILL_INSTALL_MODULEDIR come from
# the top-level file, which the host's module search needs before its target is made.
#
#   bin/quill-host                        the reference host
#   <libdir>/libquillrt.so.N              the run-time (soname by major version), .so for linking
#   <libdir>/quill/                       Quill.plu, the window modules, Quill.ini (a link to the
#                                         tuning file in <sysconfdir>/quill, a conffile)
#   <libdir>/pkgconfig/quill.pc           for hosts built elsewhere
#   include/quill/                        the public host headers and the run-time headers they use
#   share/doc/quill/, share/man/man1/     README, copyright, the manual page
#   <udev rules>/70-quill-scanners.rules  scanners readable by the group QUILL_SCANNER_GROUP
#
# Nothing installed points back into the build: the build's rpath is dropped, and only a tree
# installed outside the system's library folders gets one, relative to the file ($ORIGIN).

set(QUILL_SCANNER_GROUP "quill" CACHE STRING "The group whose members may read scanners' input devices")
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(default_udev_dir /lib/udev/rules.d)
else()
  set(default_udev_dir ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
endif()
set(QUILL_UDEV_RULES_DIR ${default_udev_dir} CACHE PATH "Where the udev rule is installed")

set_target_properties(quillrt PROPERTIES VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
                                         SOVERSION ${PROJECT_VERSION_MAJOR})

list(FIND CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES "${CMAKE_INSTALL_FULL_LIBDIR}" system_libdir)
if(system_libdir EQUAL -1)
  file(RELATIVE_PATH bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(quill-host PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_lib}")
  set_target_properties(Quill PROPERTIES INSTALL_RPATH "$ORIGIN/..")
  foreach(module quill-fltk quill-host-window)
    if(TARGET ${module})
      set_target_properties(${module} PROPERTIES INSTALL_RPATH "$ORIGIN/..")
    endif()
  endforeach()
endif()

install(TARGETS quill-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillrt LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS Quill LIBRARY DESTINATION ${QUILL_INSTALL_MODULEDIR})
foreach(module quill-fltk quill-host-window)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${QUILL_INSTALL_MODULEDIR})
  endif()
endforeach()

# The tuning file is the machine's setting: it lives with the other settings, and the plug-in finds
# it beside itself through a link.
set(QUILL_TUNING_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quill/Quill.ini)
install(FILES packaging/Quill.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quill)
install(CODE "
  set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QUILL_INSTALL_MODULEDIR}/Quill.ini\")
  message(STATUS \"Installing: \${link} -> ${QUILL_TUNING_FILE}\")
  file(REMOVE \"\${link}\")
  file(CREATE_LINK \"${QUILL_TUNING_FILE}\" \"\${link}\" SYMBOLIC)")

# The public host headers, and the run-time's headers they include (with their own includes:
# the installed-headers test compiles each alone against the installed tree).
install(FILES include/quill/host.h include/quill/linux_host.h include/quill/params.h
              include/quill/coded_exception.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quill)
set(QUILL_PUBLIC_PLATFORM_HEADERS
    com/bstr.h com/com_safearray.h com/com_types.h com/dispatch.h com/unknown.h com/variant.h
    kernel/codepage.h kernel/named_mutex.h kernel/security.h
    rtl/ansi_string.h rtl/exception.h rtl/format.h rtl/object.h
    user/keyboard_bridge.h user/keyboard_input.h user/message_queue.h user/user_types.h)
foreach(header ${QUILL_PUBLIC_PLATFORM_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES platform/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quill/platform/${folder})
endforeach()

# quill.pc names the prefix the tree is installed under (also one given to cmake --install
# --prefix), so it is written at install time.
set(QUILL_INSTALL_PREFIX "@QUILL_INSTALL_PREFIX@")
configure_file(packaging/quill.pc.in ${CMAKE_BINARY_DIR}/packaging/quill.pc.in @ONLY)
install(CODE "
  set(QUILL_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(pc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/quill.pc\")
  message(STATUS \"Installing: \${pc}\")
  configure_file(\"${CMAKE_BINARY_DIR}/packaging/quill.pc.in\" \"\${pc}\" @ONLY)")

set(QUILL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quill)
install(FILES README.md packaging/copyright DESTINATION ${QUILL_DOCDIR})
install(DIRECTORY examples/ DESTINATION ${QUILL_DOCDIR}/examples)

set(QUILL_FULL_MODULEDIR ${CMAKE_INSTALL_FULL_LIBDIR}/quill)
set(QUILL_FULL_SYSCONFDIR ${CMAKE_INSTALL_FULL_SYSCONFDIR})
configure_file(docs/quill-host.1 ${CMAKE_BINARY_DIR}/packaging/quill-host.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/quill-host.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

configure_file(packaging/70-quill-scanners.rules ${CMAKE_BINARY_DIR}/packaging/70-quill-scanners.rules @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/70-quill-scanners.rules DESTINATION ${QUILL_UDEV_RULES_DIR})
