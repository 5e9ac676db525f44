# Runs TOOL on SCRIPT, which must fail with the text given on its first line after "// expect: ".
# EMULATOR (optional) runs a cross-built TOOL, e.g. under wine.
file(STRINGS ${SCRIPT} first LIMIT_COUNT 1)
string(REGEX REPLACE "^// expect: " "" expected "${first}")
execute_process(COMMAND ${EMULATOR} ${TOOL} ${SCRIPT} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "${SCRIPT} succeeded but should have failed\n${out}")
endif()
string(FIND "${err}" "${expected}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${SCRIPT}: expected error\n  ${expected}\ngot\n  ${err}")
endif()
