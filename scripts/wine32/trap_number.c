/* Preloaded into the 32-bit programs that run under qemu user emulation. qemu hands signal
   handlers a context whose trap number is -1, and Wine's i386 handlers decide the exception
   code from that number: a page fault would arrive as an illegal instruction. This library sits
   between Wine and sigaction and fills in the trap number the processor would have reported,
   from the signal and its code, before Wine's handler sees the context. A context that already
   carries a trap number (a native kernel) is passed on untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <ucontext.h>

typedef void (*info_handler)(int, siginfo_t *, void *);
typedef int (*sigaction_function)(int, const struct sigaction *, struct sigaction *);

static info_handler handlers[NSIG];

static int is_fault_signal(int signal_number) {
  return signal_number == SIGSEGV || signal_number == SIGBUS || signal_number == SIGILL ||
         signal_number == SIGFPE || signal_number == SIGTRAP;
}

/* The x86 exception vector that raises each signal. */
static int trap_number(const siginfo_t *info) {
  switch (info->si_signo) {
    case SIGSEGV: return info->si_code == SI_KERNEL ? 13 : 14;  /* protection, else page fault */
    case SIGBUS: return 17;                  /* alignment check */
    case SIGILL: return 6;                   /* invalid opcode */
    case SIGFPE:
      if (info->si_code == FPE_INTDIV) return 0;   /* divide error */
      if (info->si_code == FPE_INTOVF) return 4;   /* overflow */
      return 16;                                   /* x87 floating-point error */
    case SIGTRAP: return info->si_code == TRAP_TRACE ? 1 : 3;  /* single step, else breakpoint */
    default: return -1;
  }
}

static void relay(int signal_number, siginfo_t *info, void *context) {
  ucontext_t *user_context = context;
  if (user_context->uc_mcontext.gregs[REG_TRAPNO] == -1)
    user_context->uc_mcontext.gregs[REG_TRAPNO] = trap_number(info);
  handlers[signal_number](signal_number, info, context);
}

static sigaction_function real_sigaction(void) {
  static sigaction_function real;
  if (real == NULL) real = (sigaction_function)dlsym(RTLD_NEXT, "sigaction");
  return real;
}

int sigaction(int signal_number, const struct sigaction *action, struct sigaction *old_action) {
  sigaction_function real = real_sigaction();
  info_handler previous = signal_number > 0 && signal_number < NSIG ? handlers[signal_number] : NULL;
  int result;
  if (action != NULL && (action->sa_flags & SA_SIGINFO) && is_fault_signal(signal_number)) {
    struct sigaction wrapped = *action;
    wrapped.sa_sigaction = relay;
    handlers[signal_number] = action->sa_sigaction;  /* in place before the relay can run */
    result = real(signal_number, &wrapped, old_action);
    if (result != 0) handlers[signal_number] = previous;
  } else {
    result = real(signal_number, action, old_action);
  }
  /* Callers asking for the old handler get theirs back, never the relay. */
  if (result == 0 && old_action != NULL && old_action->sa_sigaction == relay)
    old_action->sa_sigaction = previous;
  return result;
}
