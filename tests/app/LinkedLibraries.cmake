# Fails when PROGRAM links (as its own dependency) a library of FORBIDDEN: those are opened on
# first use, and linking them again would put their loading back into every start.
execute_process(COMMAND readelf -d ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf -d ${PROGRAM} failed")
endif()
if(NOT dynamic MATCHES "NEEDED[^\n]*\\[libc\\.so")
  message(FATAL_ERROR "no NEEDED entries read from ${PROGRAM}:\n${dynamic}")
endif()
foreach(library IN LISTS FORBIDDEN)
  if(dynamic MATCHES "NEEDED[^\n]*\\[${library}")
    message(FATAL_ERROR "${PROGRAM} links ${library}; it must be opened on first use")
  endif()
endforeach()
