# Packages made by CPack from the install rules, with the `package` target:
# from a Linux build a Debian package, and an rpm package too where the
# build reads rpm's database (CORVANE_RPM) and rpmbuild is there (Debian's
# rpm); a zip archive from the Windows build.
#
#   build/native:  corvane_<version>-1_<architecture>.deb, corvane-<version>-1.<machine>.rpm
#   build/windows: corvane-<version>-win64.zip
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${CORVANE_VERSION})
set(CPACK_PACKAGE_VENDOR "The Corvane project")
set(CPACK_PACKAGE_CONTACT "The Corvane project <corvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tell which system files are on the protected-file list")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Corvane answers which system files are on the operating system's list of"
  "protected files, and whether given files or wildcard patterns are on it."
  "On Debian a file is protected when the package manager recorded it with a"
  "checksum (the md5sums lists under /var/lib/dpkg/info, after diversions);"
  "on rpm-based systems when an installed package records it as a regular"
  "file with a digest that is neither %config nor %ghost."
  "On Windows it asks the System File Checker (sfc.dll).")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
# Whatever the build type, the packaged program carries no symbols.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Named corvane-<version>-win64.zip from the target's word size, and unpacked into
  # a folder of that name.
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  find_program(CORVANE_RPMBUILD rpmbuild)
  if(CORVANE_RPM AND CORVANE_RPMBUILD)
    list(APPEND CPACK_GENERATOR RPM)
  endif()
  # corvane-<version>-1.<machine>.rpm. librpm is loaded, not linked, and is
  # on every system that has an rpm database.
  set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
  set(CPACK_RPM_PACKAGE_RELEASE 1)
  set(CPACK_RPM_PACKAGE_LICENSE MIT)
  set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
  set(CPACK_RPM_PACKAGE_URL "https://example.org/corvane")
  # The directories above the package's own belong to the system's filesystem package.
  set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/man /usr/share/man/man1
      /usr/share/doc)
  # The package's files are its own: no /usr/lib/.build-id links to the program.
  set(CPACK_RPM_SPEC_MORE_DEFINE "%define _build_id_links none")

  # corvane_<version>-1_amd64.deb: the architecture is dpkg's own for this machine.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the program links against, as dpkg-shlibdeps (dpkg-dev)
  # names their packages and versions.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

  # Debian's changelog for the package, compressed as policy asks.
  set(corvane_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian)
  string(CONCAT corvane_changelog_text
    "corvane (${CORVANE_VERSION}-1) unstable; urgency=medium\n\n"
    "  * First release.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  Sun, 06 Dec 2026 12:00:00 +0000\n")
  # Written only when it changes, so a new configure does not rebuild it.
  file(CONFIGURE OUTPUT ${corvane_changelog} CONTENT "${corvane_changelog_text}" @ONLY)
  add_custom_command(
    OUTPUT ${corvane_changelog}.gz
    COMMAND ${CORVANE_GZIP} -9nkf ${corvane_changelog}
    DEPENDS ${corvane_changelog}
    VERBATIM)
  add_custom_target(corvane_changelog ALL DEPENDS ${corvane_changelog}.gz)
  install(FILES ${corvane_changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

include(CPack)
