# Lists the dynamic symbols that libbrevanto.so defines and compares them with
# the two entry points of the public header.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  # Version nodes are absolute symbols, not code.
  if(NOT line MATCHES " A ")
    list(APPEND exported "${name}")
  endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL "sp;spLastError")
  message(FATAL_ERROR "libbrevanto.so exports [${exported}], expected [sp;spLastError]")
endif()
message(STATUS "exports: ${exported}")
