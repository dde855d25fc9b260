/* unsigned call_with_words(function, const uint32_t* words, unsigned count)   (cdecl)
   Pushes count words as stack arguments, first word lowest, calls function and returns how many
   of their bytes the callee popped; the stack is put back whatever it did. */
  .text
  .globl _call_with_words
_call_with_words:
  push %ebp
  mov %esp, %ebp
  push %ebx
  push %esi
  push %edi
  mov 12(%ebp), %esi
  mov 16(%ebp), %ecx
  mov %esp, %edi              /* the stack pointer before any argument is pushed */
1:
  test %ecx, %ecx
  jz 2f
  dec %ecx
  push (%esi,%ecx,4)
  jmp 1b
2:
  call *8(%ebp)
  mov %esp, %eax
  sub %edi, %eax              /* minus the bytes still on the stack */
  mov 16(%ebp), %ecx
  lea (%eax,%ecx,4), %eax     /* plus the bytes pushed */
  mov %edi, %esp
  pop %edi
  pop %esi
  pop %ebx
  pop %ebp
  ret
