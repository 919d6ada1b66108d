#include "hook_call.h"

#if defined(__i386__)
// jvm_double_call_counting_removed(function, arguments, count), __cdecl:
// pushes the arguments right to left, keeps the stack pointer in esi (which
// every convention preserves), calls, and returns the distance the callee
// moved the stack pointer. ebp restores the stack whatever the callee did.
asm(R"(
    .text
    .globl _jvm_double_call_counting_removed
_jvm_double_call_counting_removed:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:
    testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:
    movl %esp, %esi
    call *8(%ebp)
    movl %esp, %eax
    subl %esi, %eax
    leal -4(%ebp), %esp
    popl %esi
    popl %ebp
    ret
)");
#endif
