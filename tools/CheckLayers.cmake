# Keeps the direction of the arrows between the program's layers: a file may
# include files of its own layer and of the layers below it, never of one
# above. Run by every build (cmake -DSOURCE_DIR=... -P CheckLayers.cmake);
# an include the wrong way ends the build with the file, the line and the
# rule it breaks.
#
#   app        windows, commands, start-up (and the inspector window in drawing/)
#   settings   the settings file, choosers and settings windows
#   ui         the seam for dialogs and message boxes
#   catalogue  the archive site
#   exports    the files a drawing is written to
#   drawing    records, the drawing, its connectivity and comparison
#   surface    the raster surface (app/Surface), the raster back-end over render
#   render     drawing targets and their value types (app/Drawstyle), raster
#              operations, raster runs, the glyph cache, the paint record, the
#              vector and picture writers, deflate
#   base       errors, threads, buffers, checksums, safe writes
#
# ui and settings sit beside catalogue and exports: neither side includes
# the other.

cmake_policy(VERSION 3.22)

set(layers base render surface drawing exports catalogue ui settings app)
set(below_base "")
set(below_render base)
set(below_surface base render)
set(below_drawing base render surface)
set(below_exports base render surface drawing)
set(below_catalogue base render surface drawing exports)
set(below_ui base render)
set(below_settings base render surface drawing ui)
set(below_app base render surface drawing exports catalogue ui settings)

# The layer of a file, from its path under the source folder.
function(layer_of path out)
  if(path MATCHES "^app/Drawstyle[.]")
    set(${out} render PARENT_SCOPE)
  elseif(path MATCHES "^app/Surface[.]")
    set(${out} surface PARENT_SCOPE)
  elseif(path MATCHES "^drawing/Debugbmp[.]")
    set(${out} app PARENT_SCOPE)
  elseif(path MATCHES "^(base|render|drawing|exports|catalogue|ui|settings|app)/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers.cmake: set SOURCE_DIR")
endif()
set(folders base render drawing exports catalogue ui settings app)
set(sources "")
foreach(folder ${folders})
  file(GLOB found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(APPEND sources ${found})
endforeach()

set(refused "")
foreach(source ${sources})
  layer_of(${source} from)
  set(allowed ${from} ${below_${from}})
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" included "${line}")
    layer_of(${included} to)
    if(to STREQUAL "" OR to IN_LIST allowed)
      continue()
    endif()
    list(JOIN allowed ", " shown)
    list(APPEND refused "${source} includes ${included}: the ${from} layer may include only ${shown}")
  endforeach()
endforeach()

if(refused)
  list(JOIN refused "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
