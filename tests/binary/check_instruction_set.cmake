# Checks that a 32-bit DLL runs on processors without SSE and SSE2: no instruction touches an
# XMM register or is one of the SSE/SSE2 instructions without one, outside the functions whose
# symbols match ALLOWED (the code chosen at run time where the processor has SSE2):
#   cmake -DOBJDUMP=<objdump> -DDLL=<dll> -DALLOWED=<regex> -P check_instruction_set.cmake
include(${CMAKE_CURRENT_LIST_DIR}/disassembly.cmake)
if(NOT DEFINED lines)
  return()
endif()

set(sse "%xmm|\t(mfence|lfence|sfence|movnti|movntq|maskmovq|clflush|ldmxcsr|stmxcsr|prefetch)")
set(function "")
set(allowed_functions 0)
set(faults "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-f]+ <(.*)>:$")
    set(function "${CMAKE_MATCH_1}")
    if(function MATCHES "${ALLOWED}")
      math(EXPR allowed_functions "${allowed_functions} + 1")
    endif()
  elseif(line MATCHES "${sse}" AND NOT function MATCHES "${ALLOWED}")
    string(APPEND faults "\n  ${function}: ${line}")
  endif()
endforeach()
if(faults)
  message(FATAL_ERROR "SSE instructions outside the run-time-selected functions:${faults}")
endif()
if(allowed_functions EQUAL 0)
  # The pattern must still name the SSE2 path, or the check would pass for the wrong reason.
  message(FATAL_ERROR "no function of ${DLL} matches ${ALLOWED}")
endif()
message(STATUS "no SSE outside the ${allowed_functions} functions matching ${ALLOWED}")
