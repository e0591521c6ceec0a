cmake_minimum_required(VERSION 3.25)
# Fails when a folder includes a header of a layer above it, when a CMakeLists.txt links a
# library of a layer above its own, or when the core (or zorctl) includes a Qt header.
# Run as: cmake -DROOT=<source tree> -P CheckLayers.cmake
#
# The order (docs/architecture.md): common <- device <- macro <- config / catalog <-
# settings / update <- control <- ui <- gui folders <- app, and zorctl <- control. Each layer
# lists what it may include and link besides itself; layers on one level do not use each other.
set(core_layers common device macro config catalog settings update control)
set(gui_layers settings/gui macro/gui update/gui update/updater)
set(layers
  "common:"
  "device:common"
  "macro:device,common"
  "config:macro,device,common"
  "catalog:device,common"
  "settings:config,catalog,macro,device,common"
  "update:config,catalog,macro,device,common"
  "control:settings,update,config,catalog,macro,device,common"
  "ui:control,settings,update,config,catalog,macro,device,common"
  "settings/gui:ui,control,settings,update,config,catalog,macro,device,common"
  "macro/gui:ui,control,settings,update,config,catalog,macro,device,common"
  "update/gui:ui,control,settings,update,config,catalog,macro,device,common"
  "update/updater:update/gui,ui,control,settings,update,config,catalog,macro,device,common"
  "app:settings/gui,macro/gui,update/gui,ui,control,settings,update,config,catalog,macro,device,common"
  "zorctl:control,settings,update,config,catalog,macro,device,common")
# The layer each library or program of a link line belongs to.
set(targets
  "zor_common:common" "zor_version:common" "zor_device:device" "zor_macro:macro" "zor_config:config"
  "zor_catalog:catalog" "zor_settings:settings" "zor_update:update" "zor_control:control" "zor_ui:ui"
  "zor_settings_gui:settings/gui" "zor_macro_gui:macro/gui" "zor_update_gui:update/gui"
  "AutoUpdate:update/updater" "zor_app:app" "zormouse:app" "zorctl:zorctl")

if(NOT ROOT)
  message(FATAL_ERROR "Run with -DROOT=<source tree>")
endif()

# The folder of each layer, below ROOT.
function(layer_folder layer out)
  if(layer STREQUAL "zorctl")
    set(${out} "${ROOT}/tools/zorctl" PARENT_SCOPE)
  else()
    set(${out} "${ROOT}/src/${layer}" PARENT_SCOPE)
  endif()
endfunction()

# The layer a header path ("settings/gui/DpiPage.h", "device/KeyState.h") belongs to; empty for
# headers outside the layers (a folder of the program's own, a third-party header).
function(include_layer path out)
  set(found "")
  if(path MATCHES "^([a-z_]+/(gui|updater))/")
    set(found "${CMAKE_MATCH_1}")
  elseif(path MATCHES "^([a-z_]+)/")
    set(found "${CMAKE_MATCH_1}")
  endif()
  if(NOT found STREQUAL "" AND NOT IS_DIRECTORY "${ROOT}/src/${found}")
    set(found "")
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(entry IN LISTS layers)
  string(REPLACE ":" ";" parts "${entry}")
  list(POP_FRONT parts layer)
  string(REPLACE "," ";" allowed "${parts}")
  list(APPEND allowed ${layer})
  layer_folder(${layer} folder)
  if(NOT IS_DIRECTORY "${folder}")
    continue()
  endif()
  set(qt_free OFF)
  if(layer IN_LIST core_layers OR layer STREQUAL "zorctl")
    set(qt_free ON)
  endif()

  # Includes: every file of the folder, sub-folders that are layers of their own left out.
  file(GLOB_RECURSE files "${folder}/*.h" "${folder}/*.cpp")
  foreach(file IN LISTS files)
    file(RELATIVE_PATH name "${ROOT}" "${file}")
    file(RELATIVE_PATH inside "${folder}" "${file}")
    if(NOT layer MATCHES "/" AND inside MATCHES "^(gui|updater)/")
      continue()
    endif()
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      # zorctl's client of the running program's D-Bus service is its one file on Qt (QtDBus).
      if(qt_free AND line MATCHES "#[ \t]*include[ \t]*<Q" AND NOT name STREQUAL "tools/zorctl/ServiceClient.cpp")
        string(APPEND failures "  ${name}: a Qt header in '${layer}': ${line}\n")
      elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        include_layer("${CMAKE_MATCH_1}" target)
        if(NOT target STREQUAL "" AND NOT target IN_LIST allowed)
          string(APPEND failures "  ${name}: layer '${layer}' includes layer '${target}': ${line}\n")
        endif()
      endif()
    endforeach()
  endforeach()

  # Link lines: each library a target of the folder links must be allowed to the target's layer.
  if(EXISTS "${folder}/CMakeLists.txt")
    file(READ "${folder}/CMakeLists.txt" text)
    string(REGEX REPLACE "#[^\n]*" "" text "${text}")
    string(REGEX MATCHALL "(target_link_libraries|zor_add_library)[ \t\n]*\\([^)]*\\)" calls "${text}")
    foreach(call IN LISTS calls)
      string(REGEX REPLACE "^[a-z_]+[ \t\n]*\\(" "" args "${call}")
      string(REGEX REPLACE "\\)$" "" args "${args}")
      string(REGEX REPLACE "[ \t\n]+" ";" args "${args}")
      list(FILTER args EXCLUDE REGEX "^$")
      list(POP_FRONT args owner)
      set(owner_layer "${layer}")
      foreach(pair IN LISTS targets)
        string(REPLACE ":" ";" pair "${pair}")
        list(GET pair 0 target_name)
        if(target_name STREQUAL owner)
          list(GET pair 1 owner_layer)
        endif()
      endforeach()
      set(owner_allowed ${allowed})
      foreach(other IN LISTS layers)
        if(other MATCHES "^${owner_layer}:(.*)$")
          string(REPLACE "," ";" owner_allowed "${CMAKE_MATCH_1}")
          list(APPEND owner_allowed ${owner_layer})
        endif()
      endforeach()
      foreach(arg IN LISTS args)
        foreach(pair IN LISTS targets)
          string(REPLACE ":" ";" pair "${pair}")
          list(GET pair 0 target_name)
          list(GET pair 1 target_layer)
          if(arg STREQUAL target_name AND NOT target_layer IN_LIST owner_allowed)
            file(RELATIVE_PATH name "${ROOT}" "${folder}/CMakeLists.txt")
            string(APPEND failures
              "  ${name}: '${owner}' (layer '${owner_layer}') links '${arg}' of layer '${target_layer}'\n")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "Layering broken:\n${failures}")
endif()
message(STATUS "Layering holds")
