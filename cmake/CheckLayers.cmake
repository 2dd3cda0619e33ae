# Fails when a source file includes a header of a layer above its own. The
# layers, lowest first: platform, cpm, commands, cli.
#
#   cmake -DSOURCE_DIR=<top> -P CheckLayers.cmake
set(layers platform cpm commands cli)
set(violations "")
foreach(layer IN LISTS layers)
  list(FIND layers ${layer} rank)
  file(GLOB sources ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" used "${line}")
      list(FIND layers ${used} used_rank)
      if(used_rank GREATER rank)
        file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
        string(APPEND violations "\n  ${name}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "A lower layer includes a higher one:${violations}")
endif()
