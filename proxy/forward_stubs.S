/* One forwarding stub per export: a single indirect jump through the export's entry-table slot.
   No prologue and no other code, so the caller's arguments, return address and registers reach
   the underlying driver untouched whatever the calling convention. */
#define QELT_CAT_(a, b) a##b
#define QELT_CAT(a, b) QELT_CAT_(a, b)
#define QELT_SYMBOL(name) QELT_CAT(__USER_LABEL_PREFIX__, name)

#if defined(__x86_64__)
#define QELT_JUMP(slot) jmp *(QELT_SYMBOL(qelt_entry_table) + 8 * (slot))(%rip)
#else
#define QELT_JUMP(slot) jmp *(QELT_SYMBOL(qelt_entry_table) + 4 * (slot))
#endif

/* The procedure lookups are the proxy's own functions; every other export is a stub. */
#define QELT_STUB_0(name, slot)
#define QELT_STUB_1(name, slot) .globl QELT_SYMBOL(name); QELT_SYMBOL(name): QELT_JUMP(slot)
#define QELT_DRV(name, slot, ordinal, stub) QELT_CAT(QELT_STUB_, stub)(name, slot)
#define QELT_GL QELT_DRV
#define QELT_WGL QELT_DRV

  .text
#include "entry_points.inc"
