# The layering check run against a small tree with known faults: it must fail, name every
# upward include, upward link and Qt header in the core or zorctl, and nothing that is allowed
# (control on device, ui on control, a gui folder on ui, the app on everything, a comment).
# Run as: cmake -DCHECK=<CheckLayers.cmake> -DFIXTURE=<fixture tree> -P CheckLayersCatches.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${FIXTURE} -P ${CHECK}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "The layering check passed a tree with upward includes and links:\n${out}${err}")
endif()
set(expected
  "src/device/Presence.cpp: layer 'device' includes layer 'control'"
  "src/device/CMakeLists.txt: 'zor_device' (layer 'device') links 'zor_control' of layer 'control'"
  "src/macro/Macro.h: a Qt header in 'macro'"
  "src/update/gui/Launcher.cpp: layer 'update/gui' includes layer 'app'"
  "src/update/gui/CMakeLists.txt: 'zor_update_gui' (layer 'update/gui') links 'zor_app' of layer 'app'"
  "tools/zorctl/CmdShow.cpp: a Qt header in 'zorctl'"
  "tools/zorctl/CmdShow.cpp: layer 'zorctl' includes layer 'ui'"
  "tools/zorctl/CMakeLists.txt: 'zorctl' (layer 'zorctl') links 'zor_ui' of layer 'ui'")
foreach(line IN LISTS expected)
  string(FIND "${err}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "Not reported: ${line}\nThe check said:\n${err}")
  endif()
endforeach()
string(REGEX MATCHALL "\n    [a-z]+/[^\n]*" reported "${err}")
list(LENGTH reported count)
list(LENGTH expected want)
if(NOT count EQUAL want)
  message(FATAL_ERROR "Expected ${want} faults, the check reported ${count}:\n${err}")
endif()
