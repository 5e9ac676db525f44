# Runs TOOL on SCRIPT, which must end with exit code CODE having printed "before exit" and not
# "after exit". EMULATOR (optional) runs a cross-built TOOL.
execute_process(COMMAND ${EMULATOR} ${TOOL} ${SCRIPT} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL ${CODE})
  message(FATAL_ERROR "${SCRIPT}: exit code ${rc}, expected ${CODE}\n${out}${err}")
endif()
string(FIND "${out}" "before exit" before)
string(FIND "${out}" "after exit" after)
if(before EQUAL -1 OR NOT after EQUAL -1)
  message(FATAL_ERROR "${SCRIPT}: unexpected output\n${out}")
endif()
