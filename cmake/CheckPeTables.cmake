# Test script: reads the export and import tables of a Windows module or
# program with objdump -p and fails unless it exports by name exactly the
# functions of its .def file (when DEF is given) and imports nothing but
# system DLLs and ALLOWED_IMPORTS (a ;-list of DLL names, the host's own
# library). A compiler runtime DLL among the imports means the runtime was
# not linked in statically.
#   cmake -DOBJDUMP=<objdump> -DMODULE=<file> [-DDEF=<file.def>]
#         [-DALLOWED_IMPORTS=<names>] -P CheckPeTables.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls
  advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ntdll.dll
  ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll windowscodecs.dll ws2_32.dll mswsock.dll)

execute_process(COMMAND ${OBJDUMP} -p ${MODULE}
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${MODULE}: ${errors}")
endif()
if(NOT listing MATCHES "file format pei-x86-64")
  message(FATAL_ERROR "${MODULE} is not a PE32+ x86-64 image")
endif()

# Expected exports: the first word of every line after EXPORTS in the .def.
set(def_lines)
if(DEF)
  file(STRINGS ${DEF} def_lines)
endif()
set(expected)
set(in_exports FALSE)
foreach(line IN LISTS def_lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "EXPORTS")
    set(in_exports TRUE)
  elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
    list(APPEND expected ${CMAKE_MATCH_1})
  endif()
endforeach()

# "[Ordinal/Name Pointer] Table" lists the names, one a line: "[   0] Name"
# (newer binutils add "+base[   1]  0000" before the name).
string(REPLACE "\n" ";" lines "${listing}")
set(exported)
set(imports)
set(in_names FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]+\\[ *[0-9]+\\] (.*)$")
    string(REGEX REPLACE ".* " "" name "${CMAKE_MATCH_1}")
    list(APPEND exported ${name})
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    string(STRIP "${CMAKE_MATCH_1}" dll)
    list(APPEND imports ${dll})
  endif()
endforeach()

list(SORT exported)
list(SORT expected)
set(unexpected ${exported})
if(expected)
  list(REMOVE_ITEM unexpected ${expected})
endif()
set(missing ${expected})
if(exported)
  list(REMOVE_ITEM missing ${exported})
endif()
if(DEF AND (unexpected OR missing))
  message(FATAL_ERROR "exports of ${MODULE} differ from ${DEF}:\n"
                      "  not expected: ${unexpected}\n  missing: ${missing}")
endif()

set(allowed ${system_dlls})
foreach(name IN LISTS ALLOWED_IMPORTS)
  string(TOLOWER "${name}" name)
  list(APPEND allowed ${name})
endforeach()
set(foreign)
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST allowed AND NOT lower MATCHES "^api-ms-win-")
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${MODULE} imports DLLs that are neither the system's nor the host's: "
                      "${foreign} (all imports: ${imports})")
endif()
list(LENGTH exported count)
message(STATUS "${MODULE} exports ${count} functions by name; imports: ${imports}")
