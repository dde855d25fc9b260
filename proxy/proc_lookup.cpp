#include "proc_lookup.h"

#include <cstring>

namespace qelt {

void* look_up_procedure(const OwnProcedure* own, const char* name,
                        GetProcAddressFunction fallback) {
  if (name != nullptr) {
    for (; own->name != nullptr && own->procedure != nullptr; ++own) {
      if (std::strcmp(own->name, name) == 0) return own->procedure;
    }
  }
  return fallback(name);
}

}  // namespace qelt
