// The proxy's answer to procedure lookups by name: its own special entry points first, everything
// else from the underlying driver.
#pragma once

#include "gl_types.h"

namespace qelt {

struct OwnProcedure {
  const char* name;
  void* procedure;
};

// Walks `own` up to the first entry with a null name or procedure; an exact, case-sensitive match
// returns that procedure. Otherwise, and for a null name, `fallback` answers, null included.
void* look_up_procedure(const OwnProcedure* own, const char* name, GetProcAddressFunction fallback);

}  // namespace qelt
