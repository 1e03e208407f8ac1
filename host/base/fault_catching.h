// Catching the faults of code that may be damaged, so that a signal in it becomes something
// the host can report instead of the end of the host. Linux only.
#pragma once
#include <stdint.h>

#include <functional>

namespace qel {

// What the handler saw of a fault.
struct CaughtFault {
    int signal_number = 0;  // SIGALRM: the time limit ran out
    int code = 0;           // si_code
    uintptr_t address = 0;  // the address touched (SIGSEGV, SIGBUS)
    uintptr_t instruction = 0;
    uintptr_t stack = 0;
    uint32_t system_call = 0;     // SIGSYS: the number of the call a seccomp filter refused
    bool have_registers = false;  // instruction and stack were read
};

// The registers of the 32-bit code that trapped, as a trap server reads and changes them.
struct TrapFrame {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
    uintptr_t instruction = 0;
};

// Answers an illegal-instruction trap that stands in for an instruction (true: *frame now
// holds the registers to resume with), or leaves it a fault (false). Called in the signal
// handler, so it must be async-signal-safe.
using TrapServer = bool (*)(TrapFrame* frame);
void SetTrapServer(TrapServer server);

// How deeply CatchFaults may nest.
constexpr int kDeepestFaultCatching = 8;

// Runs `work`; false with *fault when it faulted (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP,
// a stack overflow, a system call refused with SIGSYS) or ran longer than `timeout_seconds` (0: no
// limit). Only what this file keeps is trusted after a fault: the code may have scribbled over the
// stack above its own frames first.
bool CatchFaults(const std::function<void()>& work, unsigned timeout_seconds, CaughtFault* fault);

// Runs `work` where an access violation in it is expected and survivable: true when it
// completed, false when it touched memory it may not (the emulated calls that Windows guards
// the same way). Outside CatchFaults it simply runs `work`.
bool CatchAccessViolation(void (*work)(void*), void* context);

}  // namespace qel
