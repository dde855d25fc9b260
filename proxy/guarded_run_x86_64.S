/* int qelt_guarded_run(void (*body)(void*), void* context)
   Its unwind data names qelt_guard_handler as exception handler. On an exception the handler
   resumes at qelt_guard_recover with the stack pointer as it was after the prologue, so the
   epilogue restores the callee-saved registers saved here, xmm6-xmm15 included. */
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
  sub $200, %rsp
  .seh_stackalloc 200
  movaps %xmm6, 32(%rsp)
  .seh_savexmm %xmm6, 32
  movaps %xmm7, 48(%rsp)
  .seh_savexmm %xmm7, 48
  movaps %xmm8, 64(%rsp)
  .seh_savexmm %xmm8, 64
  movaps %xmm9, 80(%rsp)
  .seh_savexmm %xmm9, 80
  movaps %xmm10, 96(%rsp)
  .seh_savexmm %xmm10, 96
  movaps %xmm11, 112(%rsp)
  .seh_savexmm %xmm11, 112
  movaps %xmm12, 128(%rsp)
  .seh_savexmm %xmm12, 128
  movaps %xmm13, 144(%rsp)
  .seh_savexmm %xmm13, 144
  movaps %xmm14, 160(%rsp)
  .seh_savexmm %xmm14, 160
  movaps %xmm15, 176(%rsp)
  .seh_savexmm %xmm15, 176
  .seh_endprologue
  .seh_handler qelt_guard_handler, @except
  mov %rcx, %rax
  mov %rdx, %rcx
  call *%rax
  mov $1, %eax
1:
  movaps 32(%rsp), %xmm6
  movaps 48(%rsp), %xmm7
  movaps 64(%rsp), %xmm8
  movaps 80(%rsp), %xmm9
  movaps 96(%rsp), %xmm10
  movaps 112(%rsp), %xmm11
  movaps 128(%rsp), %xmm12
  movaps 144(%rsp), %xmm13
  movaps 160(%rsp), %xmm14
  movaps 176(%rsp), %xmm15
  add $200, %rsp
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
