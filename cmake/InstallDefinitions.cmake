# Installs the shipped definition files as configuration, at install time,
# when the prefix is known: into /etc/<command>/ for the prefix /usr (the
# Debian package), PREFIX/etc/<command>/ otherwise, each named after the
# command, with a symbolic link beside the program, where it looks for them.
#
# Set by the install rules before: xev_command, xev_bindir, xev_definitions.
string(REGEX REPLACE "/+$" "" prefix "${CMAKE_INSTALL_PREFIX}")
if(prefix STREQUAL "" OR prefix STREQUAL "/usr")
  set(etc_dir /etc/${xev_command})
else()
  set(etc_dir ${prefix}/etc/${xev_command})
endif()
set(bin_dir ${prefix}/${xev_bindir})

foreach(source IN LISTS xev_definitions)
  get_filename_component(name ${source} NAME)
  string(REGEX REPLACE "^xev" "${xev_command}" name ${name})
  file(INSTALL DESTINATION ${etc_dir} TYPE FILE RENAME ${name} FILES ${source})
  # Relative within one tree, so that it can be moved; absolute from /usr to
  # /etc, as Debian links across top-level directories.
  if(etc_dir MATCHES "^/etc/")
    set(target ${etc_dir}/${name})
  else()
    file(RELATIVE_PATH target ${bin_dir} ${etc_dir}/${name})
  endif()
  set(link $ENV{DESTDIR}${bin_dir}/${name})
  message(STATUS "Installing: ${link} -> ${target}")
  file(CREATE_LINK ${target} ${link} SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES ${link})
endforeach()
