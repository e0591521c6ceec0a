# End-to-end: `zorctl --virtual watch --script FILE` prints the messages the program would receive
# while the script drives the virtual mouse, one line each, in order, and ends after the script.
set(script "${WORK}/watch.txt")
file(WRITE "${script}" "# profile key held, then released\npress profile\nrelease profile\nclick dpi\nunplug\nreplug\nclick profile\n")
execute_process(COMMAND ${ZORCTL} --home ${HOME} --virtual watch --script ${script}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zorctl watch failed (${rc}): ${err}")
endif()
set(expected
"2053 device-state wParam=0 lParam=1
2032 profile wParam=1537 lParam=0 value=1 key=6
2031 dpi wParam=1282 lParam=0 value=2 key=5
2069 dpi-popup wParam=0 lParam=0
2053 device-state wParam=0 lParam=1
537 device-change removal 3A5C:1001 /dev/zor-virtual/0-0 changed=1 found=- listeners=0
537 device-change removal 3A5C:1001 /dev/zor-virtual/0-1 changed=0 found=- listeners=0
2053 device-state wParam=0 lParam=1
537 device-change arrival 3A5C:1001 /dev/zor-virtual/1-0 changed=1 found=0 listeners=1
537 device-change arrival 3A5C:1001 /dev/zor-virtual/1-1 changed=0 found=0 listeners=1
2032 profile wParam=1538 lParam=0 value=2 key=6
")
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "unexpected watch output:\n${out}\nexpected:\n${expected}")
endif()

file(WRITE "${script}" "click profile\nclick sideways\n")
execute_process(COMMAND ${ZORCTL} --home ${HOME} --virtual watch --script ${script}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 1 OR NOT err MATCHES "line 2: expected a button" OR NOT out STREQUAL "")
  message(FATAL_ERROR "a bad script must be refused before it runs (${rc}): ${out}${err}")
endif()

# A device or a FIFO named as the script is refused at once, never read until it ends.
set(fifo "${WORK}/watch.fifo")
file(REMOVE "${fifo}")
execute_process(COMMAND mkfifo "${fifo}" RESULT_VARIABLE rc)
foreach(bad /dev/zero "${fifo}")
  execute_process(COMMAND ${ZORCTL} --home ${HOME} --virtual watch --script ${bad}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT rc EQUAL 1 OR NOT err MATCHES "is not a regular file")
    message(FATAL_ERROR "the script ${bad} must be refused (${rc}): ${out}${err}")
  endif()
endforeach()
