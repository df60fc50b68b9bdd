# Compiles SOURCE with COMPILER against the include folders INCLUDE (separated
# by "|") and FAULT
# defined (messages in the C locale, for plain quotes). FAULT 0 must compile; any other FAULT must be refused with a
# diagnostic matching REFUSAL, so that a fault-free failure (a broken include
# path, a typo) never counts as the refusal under test.
string(REPLACE "|" ";" include_flags "${INCLUDE}")
list(TRANSFORM include_flags PREPEND -I)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${COMPILER} -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror
          ${include_flags} -DFAULT=${FAULT} ${SOURCE}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(FAULT EQUAL 0)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the fault-free source does not compile:\n${output}")
  endif()
  return()
endif()
if(result EQUAL 0)
  message(FATAL_ERROR "fault ${FAULT} compiled")
endif()
if(NOT output MATCHES "${REFUSAL}")
  message(FATAL_ERROR "fault ${FAULT} was refused for another reason than \"${REFUSAL}\":\n${output}")
endif()
