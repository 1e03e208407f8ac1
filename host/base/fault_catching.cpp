#include "host/base/fault_catching.h"

#include <setjmp.h>
#include <signal.h>
#include <string.h>
#include <ucontext.h>
#include <unistd.h>

namespace qel {
namespace {

// One guard on the chain: a CatchFaults call, or a catcher of access violations inside one.
struct Guard {
    sigjmp_buf jump;
    Guard* outer;
    bool access_violations_only;
};

Guard* active_guard = nullptr;
CaughtFault last_fault;
TrapServer trap_server = nullptr;

bool IsAccessViolation(int signal_number) {
    return signal_number == SIGSEGV || signal_number == SIGBUS;
}

// True when the trap server answered the instruction: the code then resumes where the
// server says, with the registers it set.
bool Served(int signal_number, void* context) {
#if defined(REG_EIP) && defined(REG_EAX)
    if (trap_server == nullptr || signal_number != SIGILL)
        return false;
    auto* registers = static_cast<ucontext_t*>(context);
    greg_t* gregs = registers->uc_mcontext.gregs;
    TrapFrame frame;
    frame.eax = static_cast<uint32_t>(gregs[REG_EAX]);
    frame.ebx = static_cast<uint32_t>(gregs[REG_EBX]);
    frame.ecx = static_cast<uint32_t>(gregs[REG_ECX]);
    frame.edx = static_cast<uint32_t>(gregs[REG_EDX]);
    frame.instruction = static_cast<uintptr_t>(gregs[REG_EIP]);
    if (!trap_server(&frame))
        return false;
    gregs[REG_EAX] = static_cast<greg_t>(frame.eax);
    gregs[REG_EBX] = static_cast<greg_t>(frame.ebx);
    gregs[REG_ECX] = static_cast<greg_t>(frame.ecx);
    gregs[REG_EDX] = static_cast<greg_t>(frame.edx);
    gregs[REG_EIP] = static_cast<greg_t>(frame.instruction);
    return true;
#else
    (void)signal_number;
    (void)context;
    return false;
#endif
}

void Escape(int signal_number, siginfo_t* info, void* context) {
#if defined(__i386__) || defined(__x86_64__)
    // The faulting code may have left the direction flag set; the host's string operations
    // must run forwards again (qemu-i386 does not clear it for the handler). Code resumed
    // after a served trap gets its own flags back from the context.
    __asm__ volatile("cld");
#endif
    if (Served(signal_number, context))
        return;
    Guard* guard = active_guard;
    while (guard != nullptr && guard->access_violations_only && !IsAccessViolation(signal_number))
        guard = guard->outer;
    if (guard == nullptr) {  // no guard wants it: what the signal would have done anyway
        signal(signal_number, SIG_DFL);
        raise(signal_number);
        return;
    }
    last_fault = CaughtFault{};
    last_fault.signal_number = signal_number;
    last_fault.code = info->si_code;
    last_fault.address = reinterpret_cast<uintptr_t>(info->si_addr);
#if defined(REG_EIP) && defined(REG_ESP)
    const auto* registers = static_cast<const ucontext_t*>(context);
    last_fault.instruction = static_cast<uintptr_t>(registers->uc_mcontext.gregs[REG_EIP]);
    last_fault.stack = static_cast<uintptr_t>(registers->uc_mcontext.gregs[REG_ESP]);
    last_fault.have_registers = true;
    // After INT3 the instruction pointer is past it; the fault is the INT3 itself, as
    // Windows reports it. The byte was just executed, so it can be read.
    constexpr uint8_t kInt3 = 0xCC;
    if (signal_number == SIGTRAP && info->si_code != TRAP_TRACE &&
        *reinterpret_cast<const uint8_t*>(last_fault.instruction - 1) == kInt3) {
        last_fault.instruction -= 1;
    }
#endif
#if defined(SIGSYS) && defined(si_syscall)
    // A refused call: the instruction is the `int 0x80` before the address the kernel gives.
    if (signal_number == SIGSYS) {
        last_fault.system_call = static_cast<uint32_t>(info->si_syscall);
        const auto after = reinterpret_cast<uintptr_t>(info->si_call_addr);
        const auto* call = reinterpret_cast<const uint8_t*>(after - 2);
        last_fault.instruction = call[0] == 0xCD && call[1] == 0x80 ? after - 2 : after;
    }
#endif
#if !defined(REG_EIP) || !defined(REG_ESP)
    (void)context;
#endif
    siglongjmp(guard->jump, 1);
}

constexpr int kCaughtSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGALRM, SIGSYS};
constexpr size_t kCaughtSignalCount = sizeof kCaughtSignals / sizeof kCaughtSignals[0];

// What a CatchFaults call keeps across a jump out of the code. It lives here, not on the
// stack: damaged code may scribble over the stack above its own frames before it faults.
struct CatchingRun {
    Guard guard;
    stack_t previous_stack;
    struct sigaction previous[kCaughtSignalCount];
    unsigned timeout_seconds;
    CaughtFault* fault;
    bool completed;
};
CatchingRun runs[kDeepestFaultCatching];
int depth = 0;

}  // namespace

void SetTrapServer(TrapServer server) {
    trap_server = server;
}

bool CatchFaults(const std::function<void()>& work, unsigned timeout_seconds, CaughtFault* fault) {
    if (depth == kDeepestFaultCatching) {
        *fault = CaughtFault{};
        return false;
    }
    CatchingRun& run = runs[depth++];
    run.timeout_seconds = timeout_seconds;
    run.fault = fault;
    run.completed = false;
    // The handler runs on its own stack: the code may have wrecked or used up the one it
    // faulted on.
    static char alternate_stack[1 << 16];
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, &run.previous_stack);

    struct sigaction action {};
    action.sa_sigaction = &Escape;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kCaughtSignalCount; ++i)
        sigaction(kCaughtSignals[i], &action, &run.previous[i]);

    run.guard.outer = active_guard;
    run.guard.access_violations_only = false;
    active_guard = &run.guard;
    // Only a guard with a limit touches the timer, so a guard inside another keeps its limit.
    if (sigsetjmp(run.guard.jump, 1) == 0) {
        if (timeout_seconds != 0)
            alarm(timeout_seconds);
        work();
        runs[depth - 1].completed = true;
    }
    // From here on only what `runs` holds is trusted.
    CatchingRun& ended = runs[depth - 1];
    if (ended.timeout_seconds != 0)
        alarm(0);
    active_guard = ended.guard.outer;
    for (size_t i = 0; i < kCaughtSignalCount; ++i)
        sigaction(kCaughtSignals[i], &ended.previous[i], nullptr);
    sigaltstack(&ended.previous_stack, nullptr);
    if (!ended.completed)
        *ended.fault = last_fault;
    --depth;
    return ended.completed;
}

bool CatchAccessViolation(void (*work)(void*), void* context) {
    if (active_guard == nullptr) {
        work(context);
        return true;
    }
    Guard guard;
    guard.outer = active_guard;
    guard.access_violations_only = true;
    active_guard = &guard;
    const bool completed = sigsetjmp(guard.jump, 1) == 0;
    if (completed)
        work(context);
    active_guard = guard.outer;
    return completed;
}

}  // namespace qel
