// Processor faults reach the program as the exceptions Windows raises for them. The guarded
// sections of the proxy depend on it, and the 32-bit tier's emulation has to mend the trap
// numbers for it: without that mend a page fault arrives as an illegal instruction.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

namespace {

struct Seen {
  DWORD code = 0;
  ULONG_PTR access = ~ULONG_PTR{0};  // access violations: 0 read, 1 write
  unsigned skip = 0;                 // length of the faulting instruction, to resume after it
};
Seen g_seen;

LONG CALLBACK record_fault(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (g_seen.skip == 0 || record->ExceptionCode == DBG_PRINTEXCEPTION_C)
    return EXCEPTION_CONTINUE_SEARCH;
  g_seen.code = record->ExceptionCode;
  if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 1)
    g_seen.access = record->ExceptionInformation[0];
#if defined(__x86_64__)
  info->ContextRecord->Rip = reinterpret_cast<DWORD64>(record->ExceptionAddress) + g_seen.skip;
#else
  info->ContextRecord->Eip = reinterpret_cast<DWORD>(record->ExceptionAddress) + g_seen.skip;
#endif
  g_seen.skip = 0;
  return EXCEPTION_CONTINUE_EXECUTION;
}

enum class Fault { kRead, kWrite, kDivideByZero, kInvalidOpcode, kBreakpoint };

// Each fault is one instruction of a fixed length in both instruction sets (the pointer sits in
// eax/rax, so no prefix is needed).
void raise(Fault fault) {
  void* unmapped = reinterpret_cast<void*>(std::uintptr_t{16});
  switch (fault) {
    case Fault::kRead:
      g_seen.skip = 2;
      asm volatile("mov (%0), %%ecx" : : "a"(unmapped) : "ecx", "memory");
      break;
    case Fault::kWrite:
      g_seen.skip = 2;
      asm volatile("mov %%ecx, (%0)" : : "a"(unmapped), "c"(0) : "memory");
      break;
    case Fault::kDivideByZero:
      g_seen.skip = 2;
      asm volatile("div %%ecx" : : "a"(1), "d"(0), "c"(0) : "cc", "memory");
      break;
    case Fault::kInvalidOpcode:
      g_seen.skip = 2;
      asm volatile("ud2" : : : "memory");
      break;
    case Fault::kBreakpoint:
      g_seen.skip = 1;
      asm volatile("int3" : : : "memory");
      break;
  }
}

TEST(ProcessorFaults, ArriveAsTheExceptionsWindowsRaises) {
  struct Case {
    Fault fault;
    DWORD code;
    ULONG_PTR access;
  } const cases[] = {
      {Fault::kRead, EXCEPTION_ACCESS_VIOLATION, 0},
      {Fault::kWrite, EXCEPTION_ACCESS_VIOLATION, 1},
      {Fault::kDivideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO, ~ULONG_PTR{0}},
      {Fault::kInvalidOpcode, EXCEPTION_ILLEGAL_INSTRUCTION, ~ULONG_PTR{0}},
      {Fault::kBreakpoint, EXCEPTION_BREAKPOINT, ~ULONG_PTR{0}},
  };
  void* handler = AddVectoredExceptionHandler(1, record_fault);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    g_seen = Seen{};
    raise(c.fault);
    EXPECT_EQ(g_seen.code, c.code);
    EXPECT_EQ(g_seen.access, c.access);
  }
  RemoveVectoredExceptionHandler(handler);
}

}  // namespace
