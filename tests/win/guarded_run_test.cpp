// The system's structured-exception guard: a processor exception ends the guarded body, the
// caller carries on with its registers and locals intact, and the guard can be used again.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform.h"

namespace {

// Read at run time, so that the compiler sees no fixed bad address.
volatile std::uintptr_t g_unmapped = 16;
volatile int& unmapped() { return *reinterpret_cast<volatile int*>(g_unmapped); }

void finish(void* reached) { *static_cast<bool*>(reached) = true; }
void read_unmapped(void* reached) { *static_cast<bool*>(reached) = unmapped() != 0; }
void write_unmapped(void* reached) {
  unmapped() = 1;
  *static_cast<bool*>(reached) = true;
}
void fault_deep_down(void* reached) {
  static int depth = 0;
  if (++depth < 40) {
    fault_deep_down(reached);
  } else {
    depth = 0;
    write_unmapped(reached);
  }
}

TEST(GuardedRun, ProcessorExceptionsEndTheBodyAndNothingElse) {
  struct Case {
    const char* what;
    void (*body)(void*);
    bool completes;
  } const cases[] = {
      {"no fault", finish, true},
      {"read of an unmapped page", read_unmapped, false},
      {"write to an unmapped page", write_unmapped, false},
      {"fault forty calls down", fault_deep_down, false},
      {"no fault after the faults", finish, true},
  };
  const qelt::Platform& system = qelt::system_platform();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Locals that live across the call, many of them in callee-saved registers.
    volatile unsigned seed = 7;
    unsigned a = seed * 3, b = seed * 5, d = seed * 11, e = seed * 13;
    bool reached = false;
    EXPECT_EQ(system.guarded(c.body, &reached), c.completes);
    EXPECT_EQ(reached, c.completes);
    EXPECT_EQ(a + b + d + e, 7u * 32);
  }
}

}  // namespace
