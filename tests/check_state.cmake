# A job keeps its state in values it owns: the library may hold no writable
# process-wide object of its own beyond the job lock and read-only caches.
# Lists the objects in libbrevanto.so's writable data (.data, .bss; per-thread
# storage is per thread and so allowed) and fails on any of ours not named
# below.
execute_process(COMMAND objdump -tC ${LIBRARY}
  OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()
set(allowed
  "brevanto::\\(anonymous namespace\\)::jobLock"        # the job lock
)
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(found "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES " O? *\\.(data|bss)[ \t]" OR NOT line MATCHES "brevanto::")
    continue()
  endif()
  string(REGEX REPLACE "^[^\t]*\t[0-9a-f]+[ \t]+" "" name "${line}")
  string(REGEX REPLACE "^guard variable for " "" name "${name}")
  set(known FALSE)
  foreach(pattern IN LISTS allowed)
    if(name MATCHES "^${pattern}$")
      set(known TRUE)
    endif()
  endforeach()
  if(NOT known)
    list(APPEND found "${name}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "writable process-wide objects in libbrevanto.so: ${found}")
endif()
message(STATUS "no writable process-wide state but the job lock and read-only caches")
