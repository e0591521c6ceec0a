# ZOR_SANITIZE builds every target of the tree (libraries, programs, plugins, tests) with GCC's or
# clang's run-time checkers, for scripts/sanitize.sh:
#   address  AddressSanitizer with LeakSanitizer, plus UndefinedBehaviorSanitizer, any finding fatal
#   thread   ThreadSanitizer
# Empty (the default) changes nothing.
set(ZOR_SANITIZE "" CACHE STRING "Run-time checkers to build with: address (ASan+UBSan) or thread (TSan)")
set_property(CACHE ZOR_SANITIZE PROPERTY STRINGS "" address thread)

if(ZOR_SANITIZE STREQUAL "address")
  set(zor_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined)
elseif(ZOR_SANITIZE STREQUAL "thread")
  set(zor_sanitize_flags -fsanitize=thread)
elseif(NOT ZOR_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZOR_SANITIZE must be empty, address or thread (got '${ZOR_SANITIZE}')")
endif()

if(zor_sanitize_flags)
  # Frame pointers give whole stacks in the reports at -O1 without unwind tables' cost.
  add_compile_options(${zor_sanitize_flags} -fno-omit-frame-pointer -g1)
  add_link_options(${zor_sanitize_flags})
endif()
