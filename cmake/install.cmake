# Where `cmake --install` puts the program and its documents.
#
# On Linux the usual tree under the prefix: the program in bin/, its manual
# page (compressed, as Debian ships manual pages) in share/man/man1 and the
# README and licence in share/doc/corvane, the licence also under Debian's
# name for it, "copyright". On Windows one flat folder, as a Windows archive is
# unpacked and used: corvane.exe beside README.md and LICENSE.txt.
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS corvane RUNTIME DESTINATION .)
  # With CR LF line ends: Notepad before Windows 10 1809 shows LF ones as one line.
  foreach(text README.md LICENSE)
    file(READ ${text} content)
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/crlf/${text} "${content}")
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS README.md LICENSE)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/crlf/README.md DESTINATION .)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/crlf/LICENSE DESTINATION . RENAME LICENSE.txt)
  return()
endif()

install(TARGETS corvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

find_program(CORVANE_GZIP gzip REQUIRED)
set(corvane_manual ${CMAKE_CURRENT_BINARY_DIR}/corvane.1)
# -n keeps the name and time out of the header, so the file is the same on
# every build.
add_custom_command(
  OUTPUT ${corvane_manual}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/man/corvane.1 ${corvane_manual}
  COMMAND ${CORVANE_GZIP} -9nf ${corvane_manual}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/corvane.1
  VERBATIM)
add_custom_target(corvane_manual ALL DEPENDS ${corvane_manual}.gz)
install(FILES ${corvane_manual}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
