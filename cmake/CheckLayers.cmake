cmake_minimum_required(VERSION 3.25)
# Fails when a core layer includes a header of a layer above it, or a Qt header.
# Run as: cmake -DSRC=<source tree>/src -P CheckLayers.cmake
# Each layer may include the layers listed after it; gui/ folders, src/ui and src/app are Qt
# views above the core and are not checked here.
set(layers
  "common"
  "device:common"
  "macro:device,common"
  "config:macro,device,common"
  "catalog:device,common"
  "settings:config,catalog,macro,device,common"
  "control:settings,config,catalog,macro,device,common")
set(failures "")
foreach(entry IN LISTS layers)
  string(REPLACE ":" ";" parts "${entry}")
  string(REPLACE "," ";" parts "${parts}")
  list(POP_FRONT parts layer)
  set(allowed ${parts} ${layer})
  file(GLOB_RECURSE files "${SRC}/${layer}/*.h" "${SRC}/${layer}/*.cpp")
  list(FILTER files EXCLUDE REGEX "/gui/")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      file(RELATIVE_PATH name "${SRC}" "${file}")
      if(line MATCHES "#[ \t]*include[ \t]*<Q")
        string(APPEND failures "  ${name}: a Qt header in the core: ${line}\n")
      elseif(line MATCHES "#[ \t]*include[ \t]*\"([a-z_]+)/")
        set(target "${CMAKE_MATCH_1}")
        if(IS_DIRECTORY "${SRC}/${target}" AND NOT target IN_LIST allowed)
          string(APPEND failures "  ${name}: layer '${layer}' includes layer '${target}': ${line}\n")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Layering broken:\n${failures}")
endif()
