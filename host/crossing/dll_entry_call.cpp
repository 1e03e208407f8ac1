#include "host/crossing/dll_entry_call.h"

// The thunks are defined by the assembly below; on ELF they stay inside the program, where
// the PIE's GOT reaches them directly.
#if defined(__ELF__)
#define KZ_PROGRAM_LOCAL __attribute__((visibility("hidden")))
#define KZ_PROGRAM_LOCAL_ASM(symbol) ".hidden " symbol "\n"
#else
#define KZ_PROGRAM_LOCAL
#define KZ_PROGRAM_LOCAL_ASM(symbol) ""
#endif

namespace qel {
namespace {

void* dll_stack_top = nullptr;

// One row per thunk: what it calls and what that pops.
struct HostCall {
    const void* function;
    uint32_t argument_bytes;
};
constexpr uint32_t kThunkSpacing = 16;
static_assert(sizeof(HostCall) == 8, "the thunks index rows of 8 bytes");
// The assembly below makes thunks 0 to 15 and masks the number with 15.
static_assert(kHostCallThunkCount == 16, "one row for each thunk the assembly makes");

// Named for the assembly below, which reads it.
__attribute__((used)) HostCall host_calls[kHostCallThunkCount] __asm__("qel_host_calls");

}  // namespace
}  // namespace qel

extern "C" KZ_PROGRAM_LOCAL const char qel_host_call_thunks[] __asm__("qel_host_call_thunks");

namespace qel {

void SetDllStack(void* stack_top) {
    dll_stack_top = stack_top;
}

void* DllStack() {
    return dll_stack_top;
}

uint32_t HostCallThunk(const void* function, uint32_t argument_bytes) {
    for (uint32_t slot = 0; slot < kHostCallThunkCount; ++slot) {
        HostCall& row = host_calls[slot];
        if (row.function == nullptr)
            row = HostCall{function, argument_bytes};
        if (row.function == function && row.argument_bytes == argument_bytes) {
            return DllWord(qel_host_call_thunks) + slot * kThunkSpacing;
        }
    }
    return 0;
}

}  // namespace qel

// The host's stack pointer is kept in memory, not in a register the DLL could change; the
// outer values are kept on the host's stack, in case a call ever nests. 80386 routines: the
// runner runs them on every emulated processor.
#if defined(__PIC__)
// The call leaves the host's address below the stack, which may be the DLL's: cleared.
#define KZ_LOAD_GOT(reg)                        \
    "call 8f\n8:\npopl %" reg                   \
    "\n"                                        \
    "addl $_GLOBAL_OFFSET_TABLE_+(.-8b), %" reg \
    "\n"                                        \
    "movl $0, -4(%esp)\n"
#define KZ_DATA(symbol, reg) symbol "@GOTOFF(%" reg ")"
#define KZ_ROW(reg, index) "qel_host_calls@GOTOFF(%" reg ",%" index ",8)"
#else
#define KZ_LOAD_GOT(reg) ""
#define KZ_DATA(symbol, reg) symbol
#define KZ_ROW(reg, index) "qel_host_calls(,%" index ",8)"
#endif
#define KZ_SAVED_ESP(reg) KZ_DATA("qel_saved_host_esp", reg)
// Where the host runs what DLL code calls: below the frame that entered the DLL; 0 while
// DLL code runs on the host's own stack, where the host runs it in place.
#define KZ_HOST_CALL_ESP(reg) KZ_DATA("qel_host_call_esp", reg)

__asm__(
    ".lcomm qel_saved_host_esp, 4\n"
    ".lcomm qel_host_call_esp, 4\n"
    ".text\n"
    ".globl qel_call_dll_entry\n"
    ".p2align 4\n"
    "qel_call_dll_entry:\n"
    "pushl %ebp\n"
    "movl %esp, %ebp\n"
    "pushl %ebx\n"
    "pushl %esi\n"
    "pushl %edi\n"
    "pushfl\n" KZ_LOAD_GOT("ebx")  //
    "pushl " KZ_SAVED_ESP("ebx") "\n"
    "pushl " KZ_HOST_CALL_ESP("ebx") "\n"
    "movl %esp, " KZ_SAVED_ESP("ebx") "\n"
    "movl $0, " KZ_HOST_CALL_ESP("ebx") "\n"
    "movl 8(%ebp), %esi\n"   // the stack's top, or null
    "movl 12(%ebp), %eax\n"  // the entry
    "movl 16(%ebp), %edx\n"  // the arguments
    "movl 20(%ebp), %ecx\n"  // how many
    "testl %esi, %esi\n"
    "jz 1f\n"
    "movl %esp, " KZ_HOST_CALL_ESP("ebx") "\n"
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
    "pushl $2\n"  // flags: only the bit that is always set; no direction, trap or alignment
    "popfl\n"
    "call *%eax\n" KZ_LOAD_GOT("ecx")  //
    "movl " KZ_SAVED_ESP("ecx") ", %esp\n"
    "popl " KZ_HOST_CALL_ESP("ecx") "\n"
    "popl " KZ_SAVED_ESP("ecx") "\n"
    "popfl\n"
    "popl %edi\n"
    "popl %esi\n"
    "popl %ebx\n"
    "popl %ebp\n"
    "ret\n");

// Thunk n: EAX = n, then the common part. Each fits in its 16 bytes.
__asm__(
    ".text\n"
    ".globl qel_host_call_thunks\n" KZ_PROGRAM_LOCAL_ASM("qel_host_call_thunks")  //
    ".p2align 4\n"
    "qel_host_call_thunks:\n"
    ".irp slot, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n"
    ".p2align 4\n"
    "movl $\\slot, %eax\n"
    "jmp qel_call_host\n"
    ".endr\n"
    // On the DLL's stack: the DLL's callee-saved registers, then the DLL's stack pointer
    // in ESI, which the host's code keeps.
    "qel_call_host:\n"
    "pushl %ebp\n"
    "pushl %ebx\n"
    "pushl %esi\n"
    "pushl %edi\n"
    "movl %esp, %esi\n" KZ_LOAD_GOT("ebx")  //
    "andl $15, %eax\n"
    "leal " KZ_ROW("ebx", "eax") ", %edi\n"
    "movl 4(%edi), %ecx\n"  // the argument bytes
    "movl " KZ_HOST_CALL_ESP("ebx") ", %edx\n"
    "testl %edx, %edx\n"
    "jz 1f\n"
    "movl %edx, %esp\n"
    "1:\n"
    "subl %ecx, %esp\n"
    "andl $-16, %esp\n"
    "2:\n"  // the arguments, above the DLL's return address and the four registers
    "testl %ecx, %ecx\n"
    "jz 3f\n"
    "subl $4, %ecx\n"
    "movl 20(%esi,%ecx), %edx\n"
    "movl %edx, (%esp,%ecx)\n"
    "jmp 2b\n"
    "3:\n"
    "pushl $2\n"
    "popfl\n"
    "call *(%edi)\n"  // a row never filled calls 0: an access violation, reported
    "movl 4(%edi), %ecx\n"
    "movl %esi, %esp\n"
    "popl %edi\n"
    "popl %esi\n"
    "popl %ebx\n"
    "popl %ebp\n"
    "movl (%esp), %edx\n"  // return as `ret argument_bytes` would
    "addl %ecx, %esp\n"
    "movl %edx, (%esp)\n"
    "xorl %ecx, %ecx\n"
    "xorl %edx, %edx\n"
    "ret\n");
