#include "host/protocol/dll_entry_call.h"

namespace qel {
namespace {

void* dll_stack_top = nullptr;

}  // namespace

void SetDllStack(void* stack_top) {
    dll_stack_top = stack_top;
}

void* DllStack() {
    return dll_stack_top;
}

}  // namespace qel

// The host's stack pointer is kept in memory, not in a register the DLL could change; the
// outer value is kept on the host's stack, in case a call ever nests. An 80386 routine: the
// runner runs it on every emulated processor.
#if defined(__PIC__)
#define KZ_LOAD_GOT(reg) \
    "call 8f\n8:\npopl %" reg "\naddl $_GLOBAL_OFFSET_TABLE_+(.-8b), %" reg "\n"
#define KZ_SAVED_ESP(reg) "qel_saved_host_esp@GOTOFF(%" reg ")"
#else
#define KZ_LOAD_GOT(reg) ""
#define KZ_SAVED_ESP(reg) "qel_saved_host_esp"
#endif

__asm__(
    ".lcomm qel_saved_host_esp, 4\n"
    ".text\n"
    ".globl qel_call_dll_entry\n"
    ".p2align 4\n"
    "qel_call_dll_entry:\n"
    "pushl %ebp\n"
    "movl %esp, %ebp\n"
    "pushl %ebx\n"
    "pushl %esi\n"
    "pushl %edi\n" KZ_LOAD_GOT("ebx")  //
    "pushl " KZ_SAVED_ESP("ebx") "\n"
    "movl %esp, " KZ_SAVED_ESP("ebx") "\n"
    "movl 8(%ebp), %esi\n"   // the stack's top, or null
    "movl 12(%ebp), %eax\n"  // the entry
    "movl 16(%ebp), %edx\n"  // the arguments
    "movl 20(%ebp), %ecx\n"  // how many
    "testl %esi, %esi\n"
    "jz 1f\n"
    "movl %esi, %esp\n"
    "andl $-16, %esp\n"
    "1:\n"
    "testl %ecx, %ecx\n"
    "jz 2f\n"
    "decl %ecx\n"
    "pushl (%edx,%ecx,4)\n"
    "jmp 1b\n"
    "2:\n"
    "xorl %ebx, %ebx\n"
    "xorl %esi, %esi\n"
    "xorl %edi, %edi\n"
    "xorl %edx, %edx\n"
    "xorl %ebp, %ebp\n"
    "cld\n"
    "call *%eax\n" KZ_LOAD_GOT("ecx")  //
    "movl " KZ_SAVED_ESP("ecx") ", %esp\n"
    "popl " KZ_SAVED_ESP("ecx") "\n"
    "popl %edi\n"
    "popl %esi\n"
    "popl %ebx\n"
    "popl %ebp\n"
    "ret\n");
