# Included by the binary checks: the disassembly of ${DLL} by ${OBJDUMP}, one list item per line,
# in `lines`. Leaves `lines` undefined when the DLL is not built (per-preset runs may not have
# built it; make test builds every preset first).
if(NOT EXISTS "${DLL}")
  message("SKIP: ${DLL} is not built")
  return()
endif()
execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${DLL} OUTPUT_VARIABLE listing
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${DLL}")
endif()
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
