# Installation of the program, its definition files, the manual page, the
# shell completion and the documents, and the packages built from them with
# CPack: a Debian package where CMake targets Linux, a zip where it targets
# Windows.
#
# On POSIX systems the installed command is cpmxev: xev has been the X Window
# System's event viewer (Debian's x11-utils) for decades. The build tree and
# the Windows zip keep the name xev. The program reads the definition file
# named after itself beside its executable, so cpmxev reads cpmxev.ini.

if(WIN32)
  set(XEV_COMMAND xev)
else()
  set(XEV_COMMAND cpmxev)
endif()

if(WIN32)
  # The zip unpacks into one folder: bin/xev.exe beside bin/xev.ini, and the
  # documents at the top, the manual rendered as plain text (CRLF lines).
  install(TARGETS xev RUNTIME DESTINATION bin)
  install(FILES ${XEV_DEFINITION_FILES} DESTINATION bin)
  install(FILES README.md LICENSE DESTINATION .)

  find_program(XEV_MANDOC mandoc)
  if(XEV_MANDOC)
    set(xev_manual_text ${CMAKE_CURRENT_BINARY_DIR}/xev.txt)
    add_custom_command(
      OUTPUT ${xev_manual_text}
      COMMAND ${CMAKE_COMMAND} -DMANDOC=${XEV_MANDOC}
              -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/doc/cpmxev.1
              -DOUTPUT=${xev_manual_text} -DLINE_END=CRLF -DCOMMAND=xev
              -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/man_to_text.cmake
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/doc/cpmxev.1
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

  install(PROGRAMS $<TARGET_FILE:xev> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${XEV_COMMAND})
  # install(PROGRAMS) leaves stripping to the project: cmake --install --strip
  # and CPack's CPACK_STRIP_FILES ask for it.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${XEV_COMMAND}\")
endif()")
  # The definition files are configuration: see the script.
  install(CODE "set(xev_command ${XEV_COMMAND})
set(xev_bindir ${CMAKE_INSTALL_BINDIR})
set(xev_definitions \"${XEV_DEFINITION_FILES}\")")
  install(SCRIPT cmake/InstallDefinitions.cmake)

  # Debian compresses manual pages with gzip -9n; man reads both forms.
  set(xev_manual_gz ${CMAKE_CURRENT_BINARY_DIR}/doc/${XEV_COMMAND}.1.gz)
  add_custom_command(
    OUTPUT ${xev_manual_gz}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_CURRENT_SOURCE_DIR}/doc/cpmxev.1
            -DOUTPUT=${xev_manual_gz}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/gzip_file.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/doc/cpmxev.1
            ${CMAKE_CURRENT_SOURCE_DIR}/scripts/gzip_file.cmake
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(xev_manual ALL DEPENDS ${xev_manual_gz})
  install(FILES ${xev_manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # bash-completion loads completions/<command> when <command> is completed.
  install(FILES completion/cpmxev.bash
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
          RENAME ${XEV_COMMAND})

  set(xev_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${XEV_COMMAND})
  install(FILES README.md LICENSE DESTINATION ${xev_docdir})
  # Debian looks for the licence terms under this name.
  install(FILES LICENSE DESTINATION ${xev_docdir} RENAME copyright)

  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME ${XEV_COMMAND})
set(CPACK_PACKAGE_VENDOR "The xev Authors")
set(CPACK_PACKAGE_CONTACT "The xev Authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CP/M disk image manager")
set(CPACK_PACKAGE_DESCRIPTION
    "${XEV_COMMAND} lists, adds, extracts, erases and shows the files of CP/M disk \
images, sets their attributes and user areas, formats images (plain CP/M and \
TNS-DOS) and writes, copies or saves their system tracks. The disk geometry \
of each image type comes from the definition file ${XEV_COMMAND}.ini.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The xev Authors")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The definition files lie in /etc as conffiles (cmake/InstallDefinitions.cmake
# puts them there for the prefix /usr): edits survive an upgrade (dpkg asks
# before replacing them) and a removal; purging the package deletes them.
if(NOT WIN32)
  set(xev_deb_etc /etc)
  if(CPACK_PACKAGING_INSTALL_PREFIX AND NOT CPACK_PACKAGING_INSTALL_PREFIX MATCHES "^/usr/?$")
    set(xev_deb_etc ${CPACK_PACKAGING_INSTALL_PREFIX}/etc)
  endif()
  set(xev_conffiles "")
  foreach(source IN LISTS XEV_DEFINITION_FILES)
    get_filename_component(name ${source} NAME)
    string(REGEX REPLACE "^xev" "${XEV_COMMAND}" name ${name})
    string(APPEND xev_conffiles "${xev_deb_etc}/${XEV_COMMAND}/${name}\n")
  endforeach()
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles "${xev_conffiles}")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles)
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
