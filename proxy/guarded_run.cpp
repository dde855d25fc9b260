#include "guarded_run.h"

extern "C" char qelt_guard_recover[];  // in guarded_run_<architecture>.S

extern "C" EXCEPTION_DISPOSITION qelt_guard_handler(EXCEPTION_RECORD* record, void* frame,
                                                    CONTEXT* context, void*) {
  // Only errors the body may survive are caught: nothing during an unwind past the guard, nothing
  // that cannot be continued, and no informational or warning exception (the debugger output
  // channel raises one for every line).
  const DWORD ignored = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND | EXCEPTION_NONCONTINUABLE;
  if ((record->ExceptionFlags & ignored) != 0 || (record->ExceptionCode & 0xC0000000) != 0xC0000000)
    return ExceptionContinueSearch;
#if defined(__x86_64__)
  // The establisher frame is the guard's stack pointer after its prologue.
  context->Rsp = reinterpret_cast<DWORD64>(frame);
  context->Rip = reinterpret_cast<DWORD64>(qelt_guard_recover);
#else
  // The frame is the registration record: next, handler, then the guard's frame pointer.
  DWORD* registration = static_cast<DWORD*>(frame);
  context->Esp = reinterpret_cast<DWORD>(frame);
  context->Ebp = registration[2];
  context->Eip = reinterpret_cast<DWORD>(qelt_guard_recover);
#endif
  return ExceptionContinueExecution;
}
