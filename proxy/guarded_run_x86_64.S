/* int qelt_guarded_run(void (*body)(void*), void* context)
   Its unwind data names qelt_guard_handler as exception handler. On an exception the handler
   resumes at qelt_guard_recover with the stack pointer as it was after the prologue, so the
   epilogue restores the callee-saved registers saved here. */
  .text
  .globl qelt_guarded_run
  .globl qelt_guard_recover
  .def qelt_guarded_run; .scl 2; .type 32; .endef
  .seh_proc qelt_guarded_run
qelt_guarded_run:
  push %rbx
  .seh_pushreg %rbx
  push %rbp
  .seh_pushreg %rbp
  push %rsi
  .seh_pushreg %rsi
  push %rdi
  .seh_pushreg %rdi
  push %r12
  .seh_pushreg %r12
  push %r13
  .seh_pushreg %r13
  push %r14
  .seh_pushreg %r14
  push %r15
  .seh_pushreg %r15
  sub $40, %rsp
  .seh_stackalloc 40
  .seh_endprologue
  .seh_handler qelt_guard_handler, @except
  mov %rcx, %rax
  mov %rdx, %rcx
  call *%rax
  mov $1, %eax
1:
  add $40, %rsp
  pop %r15
  pop %r14
  pop %r13
  pop %r12
  pop %rdi
  pop %rsi
  pop %rbp
  pop %rbx
  ret
qelt_guard_recover:
  xor %eax, %eax
  jmp 1b
  .seh_endproc
