# Installation of the manual page, the shell completion and the documents, and
# the packages built from them with CPack: a Debian package where CMake
# targets Linux, a zip where it targets Windows.
#
# xev finds its definition file beside the executable, so xev and xev.ini are
# installed together into bin/ (rules in the top-level CMakeLists.txt).

if(WIN32)
  # The zip unpacks into one folder: bin/xev.exe beside bin/xev.ini, and the
  # documents at the top, the manual rendered as plain text (CRLF lines).
  install(FILES README.md LICENSE DESTINATION .)

  find_program(XEV_MANDOC mandoc)
  if(XEV_MANDOC)
    set(xev_manual_text ${CMAKE_CURRENT_BINARY_DIR}/xev.txt)
    add_custom_command(
      OUTPUT ${xev_manual_text}
      COMMAND ${CMAKE_COMMAND} -DMANDOC=${XEV_MANDOC}
              -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/doc/xev.1
              -DOUTPUT=${xev_manual_text} -DLINE_END=CRLF
              -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/man_to_text.cmake
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/doc/xev.1
              ${CMAKE_CURRENT_SOURCE_DIR}/scripts/man_to_text.cmake
      COMMENT "Rendering the manual page as text"
      VERBATIM)
    add_custom_target(xev_manual_text ALL DEPENDS ${xev_manual_text})
    install(FILES ${xev_manual_text} DESTINATION .)
  else()
    message(WARNING "mandoc not found: the zip will carry no manual (xev.txt)")
  endif()

  set(CPACK_GENERATOR ZIP)
else()
  include(GNUInstallDirs)

  # Debian compresses manual pages with gzip -9n; man reads both forms.
  set(xev_manual_gz ${CMAKE_CURRENT_BINARY_DIR}/doc/xev.1.gz)
  add_custom_command(
    OUTPUT ${xev_manual_gz}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/doc/xev.1
            -DOUTPUT=${xev_manual_gz}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/gzip_file.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/doc/xev.1
            ${CMAKE_CURRENT_SOURCE_DIR}/scripts/gzip_file.cmake
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(xev_manual ALL DEPENDS ${xev_manual_gz})
  install(FILES ${xev_manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # bash-completion loads completions/<command> when <command> is completed.
  install(FILES completion/xev.bash
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
          RENAME xev)

  install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian looks for the licence terms under this name.
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME xev)
set(CPACK_PACKAGE_VENDOR "The xev Authors")
set(CPACK_PACKAGE_CONTACT "The xev Authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CP/M disk image manager")
set(CPACK_PACKAGE_DESCRIPTION
    "xev lists, adds, extracts, erases and shows the files of CP/M disk images, \
sets their attributes and user areas, formats images (plain CP/M and TNS-DOS) \
and writes, copies or saves their system tracks. The disk geometry of each \
image type comes from the definition file xev.ini beside the executable.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The xev Authors")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Users add their own image types to xev.ini; as a conffile, their edits
# survive an upgrade of the package (dpkg asks before replacing them).
if(NOT WIN32)
  if(DEFINED CPACK_PACKAGING_INSTALL_PREFIX)
    set(xev_deb_prefix ${CPACK_PACKAGING_INSTALL_PREFIX})
  else()
    set(xev_deb_prefix /usr)
  endif()
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles
       "${xev_deb_prefix}/bin/xev.ini\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles)
endif()
find_program(XEV_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(XEV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # Without dpkg-dev the dependencies of a g++ build are named by hand.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/out/" "\\\\.swp$")

include(CPack)
