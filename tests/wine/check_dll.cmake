# Static checks of a built Brevanto.dll, run with
#   cmake -DOBJDUMP=... -DDLL=... -DARCH=x86|x64 -P check_dll.cmake
# - the export table names exactly "sp" and "spLastError", undecorated, as a
#   VBA Declare looks them up;
# - the DLL imports only Windows' own DLLs, so it loads on a bare Windows;
# - on x86, sp is stdcall: every return from it removes its 8 bytes of
#   arguments (ret $0x8).
foreach(var OBJDUMP DLL ARCH)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_dll.cmake needs -D${var}=...")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${DLL}")
endif()

# Exports: the lines "[   0] name" of the "[Ordinal/Name Pointer] Table".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${headers}")
string(REGEX MATCHALL "\\[ +[0-9]+\\] [^\n]+" entries "${table}")
set(exports "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^\\[ +[0-9]+\\] " "" name "${entry}")
  list(APPEND exports "${name}")
endforeach()
list(SORT exports)
if(NOT exports STREQUAL "sp;spLastError")
  message(FATAL_ERROR "${DLL} exports [${exports}], expected [sp;spLastError]")
endif()

# Imports: every "DLL Name:" must be a system DLL.
string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${headers}")
set(imports "")
foreach(line IN LISTS import_lines)
  string(REGEX REPLACE "^DLL Name: " "" name "${line}")
  string(TOLOWER "${name}" lower)
  if(NOT lower MATCHES "^(kernel32|advapi32|msvcrt|ucrtbase|ntdll|user32|api-ms-win-[a-z0-9-]+)\\.dll$")
    message(FATAL_ERROR "${DLL} imports ${name}: not a Windows system DLL "
                        "(link the GCC and C++ runtimes statically)")
  endif()
  list(APPEND imports "${name}")
endforeach()
if(NOT imports)
  message(FATAL_ERROR "no import table found in ${DLL}")
endif()

if(ARCH STREQUAL "x86")
  set(returns "")
  foreach(part _sp@8 _sp@8.cold)
    execute_process(COMMAND ${OBJDUMP} -d --disassemble=${part} ${DLL}
      OUTPUT_VARIABLE code RESULT_VARIABLE status)
    string(REGEX MATCHALL "\tret[^\n]*" found "${code}")
    list(APPEND returns ${found})
  endforeach()
  if(NOT returns)
    message(FATAL_ERROR "no return instruction found in sp (_sp@8) of ${DLL}")
  endif()
  foreach(ret IN LISTS returns)
    if(NOT ret MATCHES "ret +\\$0x8$")
      message(FATAL_ERROR "sp of ${DLL} returns with '${ret}', expected 'ret $0x8' (stdcall)")
    endif()
  endforeach()
  list(LENGTH returns n)
  message(STATUS "sp returns with ret $0x8 (${n} of ${n})")
endif()

message(STATUS "exports: ${exports}; imports: ${imports}")
