# Runs CANARY with FAULT and passes only when the process failed, reported
# REPORT, and stopped at the fault (halt on the first report).
execute_process(COMMAND ${CANARY} ${FAULT} RESULT_VARIABLE result
  OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "${FAULT}: the process succeeded:\n${output}")
endif()
if(NOT output MATCHES "${REPORT}")
  message(FATAL_ERROR "${FAULT}: no \"${REPORT}\" report:\n${output}")
endif()
if(output MATCHES "continued after the fault")
  message(FATAL_ERROR "${FAULT}: the process went on after the report:\n${output}")
endif()
