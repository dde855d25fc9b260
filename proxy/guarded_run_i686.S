/* int qelt_guarded_run(void (*body)(void*), void* context)   (cdecl)
   Links an exception-registration record into the thread's chain at fs:0, calls the body and
   unlinks the record. On an exception qelt_guard_handler resumes at qelt_guard_recover with the
   stack pointer at the record and the frame pointer restored. */
  .text
  .globl _qelt_guarded_run
  .globl _qelt_guard_recover
_qelt_guarded_run:
  push %ebp
  mov %esp, %ebp
  push %ebx
  push %esi
  push %edi
  push %ebp                       /* record: the frame pointer to restore */
  push $_qelt_guard_handler       /* record: handler */
  push %fs:0                      /* record: next */
  mov %esp, %fs:0
  push 12(%ebp)
  call *8(%ebp)
  add $4, %esp
  mov $1, %eax
1:
  pop %fs:0
  add $8, %esp
  pop %edi
  pop %esi
  pop %ebx
  pop %ebp
  ret
_qelt_guard_recover:
  xor %eax, %eax
  jmp 1b
