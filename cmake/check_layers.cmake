# Fails when a source file includes a header from a layer above its own.
# The layers, lowest first; each may include its own and the ones below.
#   cmake -DSOURCE_DIR=<tree> -P check_layers.cmake
set(layers base imaging toolkit util printing errors viewer)

set(arrows "")
foreach(layer IN LISTS layers)
  list(FIND layers ${layer} rank)
  file(GLOB files ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([a-z_]+)/([^\"]*)\".*$" "\\1" target "${line}")
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
      list(FIND layers ${target} target_rank)
      if(target_rank GREATER rank)
        file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
        string(APPEND arrows "\n  ${name} includes ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(arrows)
  message(FATAL_ERROR "Includes that point to a higher layer (order: ${layers}):${arrows}")
endif()
