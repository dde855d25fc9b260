// A structured-exception guard in the platform's own form: an exception-registration frame on
// 32-bit x86 (which Windows 9x has too), unwind-table handler data on x86-64. A processor
// exception inside the body resumes at the guard's end with the callee-saved registers the guard
// saved, as if the body had returned.
#pragma once

#include <windows.h>

extern "C" {
// 1 when body(context) returned, 0 when an exception stopped it.
int qelt_guarded_run(void (*body)(void* context), void* context);

// The handler both forms register; it sends the thread to the guard's recovery point.
EXCEPTION_DISPOSITION qelt_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                         void* dispatcher);
}
