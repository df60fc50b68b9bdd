# Test script: fails unless the dynamic symbols that MODULE defines are exactly
# the names in EXPECTED (a ;-list).
#   cmake -DNM=<nm> -DMODULE=<file> -DEXPECTED=<names> -P CheckModuleExports.cmake
execute_process(
  COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${MODULE}: ${errors}")
endif()

# Lines read "<address> <kind> <name>"; versioned names carry "@VERSION".
string(REPLACE "\n" ";" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^@ ]+)")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()

list(SORT exported)
set(expected ${EXPECTED})
list(SORT expected)
set(unexpected ${exported})
list(REMOVE_ITEM unexpected ${expected})
set(missing ${expected})
if(exported)
  list(REMOVE_ITEM missing ${exported})
endif()
if(unexpected OR missing)
  message(FATAL_ERROR "exports of ${MODULE} differ from the module's export list:\n"
                      "  not expected: ${unexpected}\n  missing: ${missing}")
endif()
list(LENGTH exported count)
message(STATUS "${MODULE} exports exactly ${count} symbols: ${exported}")
