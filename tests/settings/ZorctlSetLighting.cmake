# End-to-end: `zorctl --virtual --trace set lighting` on a private copy of the program folder
# saves the edit and sends what the lighting page sends for it: the op-9 header (mode byte with
# the lighting switch of the power options in bit 6), the mode's block, then the renewed profile identifier.
# Refused edits exit 1 with one line and leave every file as it was.
file(REMOVE_RECURSE ${WORK}/home)
file(MAKE_DIRECTORY ${WORK}/home)
file(COPY ${HOME}/res ${HOME}/res_black ${HOME}/res_white DESTINATION ${WORK}/home)
set(config ${WORK}/home/res/MouseVarn/MouseA/Config/MouseConfig.json)
file(WRITE ${WORK}/home/res/Set.ini "[Set]\nLanguage=1\nSavePowerSelect=1\n")

execute_process(COMMAND ${ZORCTL} --home ${WORK}/home --virtual --trace set lighting --profile 0 neon
                        --colour 2=00ff80 --disable 0 --brightness 0 --speed 7 --direction twoway
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "set lighting failed (${rc}): ${out}${err}")
endif()
string(REGEX MATCHALL "> [0-9a-f ]+" sent "${err}")
list(FILTER sent INCLUDE REGEX "^> 06 00 00 (09|02)")
list(LENGTH sent count)
if(NOT count EQUAL 3)
  message(FATAL_ERROR "expected three writes (header, mode block, identifier), got:\n${err}")
endif()
list(GET sent 0 header)
list(GET sent 1 block)
list(GET sent 2 id)
# Neon is device mode 8 (UI mode 7): 0x48 with the switch; the mode mask of MouseA is 0x0dbf.
if(NOT header MATCHES "^> 06 00 00 09 .. 00 00 00 19 48 bf 0d")
  message(FATAL_ERROR "header frame: ${header}")
endif()
# Block of mode 8 at offset 200: brightness 1, speed 7, direction 2, the enables without slot 0,
# then the colours in wire order; slot 2 (00FF80) is ff 80 00.
if(NOT block MATCHES "^> 06 00 00 09 .. 00 c8 00 19 01 07 02 ..")
  message(FATAL_ERROR "mode block frame: ${block}")
endif()
string(SUBSTRING "${block}" 38 2 enables)
math(EXPR slot0 "0x${enables} & 1")
if(NOT slot0 EQUAL 0 OR NOT block MATCHES "^> 06 00 00 09 .. 00 c8 00 19 01 07 02 .. .. .. .. .. .. .. ff 80 00")
  message(FATAL_ERROR "mode block frame: ${block}")
endif()
if(NOT id MATCHES "^> 06 00 00 02 .. 01 00 00 02")
  message(FATAL_ERROR "identifier frame of profile 0: ${id}")
endif()
file(READ ${config} saved)
string(JSON mode GET "${saved}" mouseconfig mouseled 0 0 curselmode)
string(JSON bright GET "${saved}" mouseconfig mouseled 0 7 brightnessvalue)
string(JSON slot2 GET "${saved}" mouseconfig mouseled 0 7 ctrl_MouseLed_Col2 1)
string(JSON slot0 GET "${saved}" mouseconfig mouseled 0 7 ctrl_MouseLed_Col0 0)
if(NOT mode EQUAL 7 OR NOT bright EQUAL 1 OR NOT slot2 EQUAL 65408 OR NOT slot0 EQUAL 0)
  message(FATAL_ERROR "saved document: mode ${mode}, brightness ${bright}, slot 2 ${slot2}")
endif()

file(MD5 ${config} before)
foreach(bad "--profile;1;neon;--brightness;abc" "--profile;1;7;--speed;11" "--profile;1;6" "--profile;1;neon;--colour;2=12G456"
            "--profile;0;static;--disable;0")
  execute_process(COMMAND ${ZORCTL} --home ${WORK}/home --virtual set lighting ${bad}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX REPLACE "\n$" "" err "${err}")
  if(NOT rc EQUAL 1 OR err MATCHES "\n" OR NOT err MATCHES "^zorctl: ")
    message(FATAL_ERROR "'${bad}' should fail with one line: rc ${rc}, '${err}'")
  endif()
endforeach()
file(MD5 ${config} after)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "a refused edit changed MouseConfig.json")
endif()
