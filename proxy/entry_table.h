// The entry table: one slot per export, in resolution order, filled once at attach.
#pragma once

namespace qelt {

namespace slot {
enum : unsigned {
#define QELT_DRV(name, slot, ordinal, stub) name = slot,
#define QELT_GL QELT_DRV
#define QELT_WGL QELT_DRV
#include "entry_points.inc"
#undef QELT_DRV
#undef QELT_GL
#undef QELT_WGL
};
}  // namespace slot

constexpr unsigned kEntryCount = 377;

// Export names by slot.
extern const char* const kEntryNames[kEntryCount];

}  // namespace qelt

// Read by the forwarding stubs, which jump through slot i without any other code.
extern "C" void* qelt_entry_table[qelt::kEntryCount];
