#include "entry_table.h"

namespace qelt {

// Sized by its initialisers: a list of another length contradicts the declaration.
const char* const kEntryNames[] = {
#define QELT_DRV(name, slot, ordinal, stub) #name,
#define QELT_GL QELT_DRV
#define QELT_WGL QELT_DRV
#include "entry_points.inc"
#undef QELT_DRV
#undef QELT_GL
#undef QELT_WGL
};

}  // namespace qelt

extern "C" {
void* qelt_entry_table[qelt::kEntryCount];
}
