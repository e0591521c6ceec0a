# End-to-end: PROGRAM ARG answers on stdout with exit code 0 on a machine without a display
# (no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), and its output matches EXPECT.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                        ${PROGRAM} ${ARG}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${ARG} without a display ended with ${rc}:\n${out}${err}")
endif()
string(REGEX REPLACE "\n$" "" out "${out}")
if(NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "${PROGRAM} ${ARG}: output does not match '${EXPECT}':\n${out}")
endif()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} ${ARG} wrote to stderr:\n${err}")
endif()
