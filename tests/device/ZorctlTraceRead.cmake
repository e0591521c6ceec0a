# End-to-end: `zorctl --virtual --trace read` prints one line per report, "> " for the 41 bytes
# sent and "< " for every report read back, lower-case hex separated by single spaces, and the
# frames are the current-state, active-profile and profile-identifier reads.
execute_process(COMMAND ${ZORCTL} --home ${HOME} --virtual --trace read
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zorctl read failed (${rc}): ${err}")
endif()
string(REGEX REPLACE "\n$" "" err "${err}")
string(REPLACE "\n" ";" lines "${err}")
list(LENGTH lines count)
if(NOT count EQUAL 12)
  message(FATAL_ERROR "expected 12 trace lines, got ${count}:\n${err}")
endif()
set(expected_sent
  "> 06 00 00 89 01 00 00 00 19"   # lighting header
  "> 06 00 00 89 02 00 19 00 19"   # block of mode 1 at offset 25
  "> 06 00 00 86 03 00 00 00 14"   # DPI
  "> 06 00 00 83 04 00 00 00 01"   # report rate
  "> 06 00 00 82 05 02 00 00 01"   # active profile
  "> 06 00 00 82 06 01 00 00 08")  # profile identifiers
set(index 0)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[<>]( [0-9a-f][0-9a-f])+$")
    message(FATAL_ERROR "malformed trace line: '${line}'")
  endif()
  string(LENGTH "${line}" length)
  if(NOT length EQUAL 124)
    message(FATAL_ERROR "trace line is not 41 bytes: '${line}'")
  endif()
  math(EXPR pair "${index} / 2")
  math(EXPR odd "${index} % 2")
  list(GET expected_sent ${pair} sent)
  string(SUBSTRING "${line}" 0 28 head)
  if(odd EQUAL 0 AND NOT head STREQUAL sent)
    message(FATAL_ERROR "frame ${pair}: expected '${sent}', got '${line}'")
  endif()
  if(odd EQUAL 1)
    string(SUBSTRING "${sent}" 1 -1 echo)
    string(SUBSTRING "${line}" 1 27 replyHead)
    string(SUBSTRING "${echo}" 0 27 sentHead)
    if(NOT replyHead STREQUAL sentHead)
      message(FATAL_ERROR "reply ${pair} does not echo its command: '${line}'")
    endif()
  endif()
  math(EXPR index "${index} + 1")
endforeach()
if(NOT out MATCHES "Profile ids: 0 0 0 0")
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
