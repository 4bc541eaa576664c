# Install rules and the packages scripts/package.sh makes with CPack.
#
# Linux (host build): the Debian package, installed under /usr:
#   bin/zsfx, share/zsfx/zoltsfx-stub.exe, share/man/man1/zsfx.1, share/doc/zsfx/copyright
# The stub comes from the Windows build tree (ZOLT_STUB); zsfx finds it through
# ../share/zsfx/ relative to itself, never through a path into a build tree.
#
# Windows (windows preset): the zip, with zsfx.exe and the stub side by side (zsfx.exe looks
# beside itself first), the README and the license.
set(CPACK_PACKAGE_NAME zsfx)
set(CPACK_PACKAGE_VENDOR "Zolt SFX")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes, lists, tests and extracts self-extracting LZH files for Windows")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS zsfx RUNTIME DESTINATION .)
  # As a file, not a target: the stub is stripped by its own link already, and must not be
  # rewritten by a second strip.
  install(PROGRAMS $<TARGET_FILE:zoltsfx_stub> DESTINATION .)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME zsfx-${PROJECT_VERSION}-win64)
else()
  include(GNUInstallDirs)
  set(ZOLT_STUB ${CMAKE_SOURCE_DIR}/build/windows/bin/zoltsfx-stub.exe CACHE FILEPATH
      "The Windows stub to install beside zsfx (built by the windows preset)")
  install(TARGETS zsfx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${ZOLT_STUB} DESTINATION ${CMAKE_INSTALL_DATADIR}/zsfx)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/zsfx.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zsfx RENAME copyright)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zolt SFX authors <zsfx@invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Shared-library dependencies from dpkg-shlibdeps (dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION
      "zsfx puts the Zolt SFX stub, a small Win32 program, in front of an LZH archive to make a\nself-extracting installer for Windows, and lists, tests and extracts such files with\nthe stub's own extraction code.")
endif()
include(CPack)
