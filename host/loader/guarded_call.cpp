#include "host/loader/guarded_call.h"

#include <setjmp.h>
#include <signal.h>
#include <string.h>
#include <ucontext.h>
#include <unistd.h>

#include "host/protocol/extender_protocol.h"

namespace qel {
namespace {

// One guard on the chain: a RunGuarded call, or a catcher of access violations inside one.
struct Guard {
    sigjmp_buf jump;
    Guard* outer;
    bool access_violations_only;
};

// What the handler saw of the last fault.
struct Fault {
    int signal_number;
    int code;
    uintptr_t address;  // the address touched (SIGSEGV, SIGBUS)
    uintptr_t instruction;
    uintptr_t stack;
    bool have_registers;
    const char* entered_export;
};

Guard* active_guard = nullptr;
Fault last_fault;
struct Image {
    uintptr_t base;
    uint32_t size;
};
Image images[8];  // a test program loads a few copies at a time; qelhost one

constexpr uint8_t kInt3 = 0xCC;

// Where a stack that runs out faults: just below the stack pointer.
constexpr uintptr_t kStackOverflowReach = 64 * 1024;

bool IsAccessViolation(int signal_number) {
    return signal_number == SIGSEGV || signal_number == SIGBUS;
}

void Escape(int signal_number, siginfo_t* info, void* context) {
#if defined(__i386__) || defined(__x86_64__)
    // The faulting code may have left the direction flag set; the host's string operations
    // must run forwards again (qemu-i386 does not clear it for the handler).
    __asm__ volatile("cld");
#endif
    Guard* guard = active_guard;
    while (guard != nullptr && guard->access_violations_only && !IsAccessViolation(signal_number))
        guard = guard->outer;
    if (guard == nullptr) {  // no guard wants it: what the signal would have done anyway
        signal(signal_number, SIG_DFL);
        raise(signal_number);
        return;
    }
    last_fault =
        Fault{signal_number, info->si_code,  reinterpret_cast<uintptr_t>(info->si_addr), 0, 0,
              false,         EnteredExport()};
#if defined(REG_EIP) && defined(REG_ESP)
    const auto* registers = static_cast<const ucontext_t*>(context);
    last_fault.instruction = static_cast<uintptr_t>(registers->uc_mcontext.gregs[REG_EIP]);
    last_fault.stack = static_cast<uintptr_t>(registers->uc_mcontext.gregs[REG_ESP]);
    last_fault.have_registers = true;
    // After INT3 the instruction pointer is past it; the fault is the INT3 itself, as
    // Windows reports it. The byte was just executed, so it can be read.
    if (signal_number == SIGTRAP && info->si_code != TRAP_TRACE &&
        *reinterpret_cast<const uint8_t*>(last_fault.instruction - 1) == kInt3) {
        last_fault.instruction -= 1;
    }
#else
    (void)context;
#endif
    siglongjmp(guard->jump, 1);
}

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGALRM};
constexpr size_t kGuardedSignalCount = sizeof kGuardedSignals / sizeof kGuardedSignals[0];

BoundedText Hex(uintptr_t value) {
    static const char kDigits[] = "0123456789abcdef";
    BoundedText text("0x");
    for (int shift = 28; shift >= 0; shift -= 4)
        text += kDigits[(value >> shift) & 0xF];
    return text;
}

BoundedText FaultName(const Fault& fault) {
    switch (fault.signal_number) {
        case SIGSEGV:
            if (fault.have_registers && fault.address <= fault.stack + 256 &&
                fault.stack - fault.address <= kStackOverflowReach) {
                return "stack overflow (SIGSEGV)";
            }
            return "access violation at address " + Hex(fault.address) + " (SIGSEGV)";
        case SIGBUS:
            return "bus error at address " + Hex(fault.address) + " (SIGBUS)";
        case SIGILL:
            return "illegal instruction (SIGILL)";
        case SIGFPE:
            return fault.code == FPE_INTOVF ? "division overflow (SIGFPE)"
                                            : "division by zero (SIGFPE)";
        case SIGTRAP:
            return fault.code == TRAP_TRACE ? "single-step trap, trap flag set (SIGTRAP)"
                                            : "breakpoint, INT3 (SIGTRAP)";
        default:
            return BoundedText("signal ") + Decimal(static_cast<uint64_t>(fault.signal_number));
    }
}

// "at RVA 0x00001a2b in _QELExtender2@40": where the faulting instruction was.
BoundedText FaultPlace(const Fault& fault) {
    BoundedText place;
    if (fault.have_registers) {
        const Image* inside = nullptr;
        for (const Image& image : images) {
            if (image.size != 0 && fault.instruction - image.base < image.size)
                inside = &image;
        }
        place += inside != nullptr ? " at RVA " + Hex(fault.instruction - inside->base)
                                   : " at " + Hex(fault.instruction) + ", outside the DLL";
    }
    if (fault.entered_export != nullptr)
        place += BoundedText(" in ") + fault.entered_export;
    return place;
}

}  // namespace

void RegisterGuardedImage(const uint8_t* base, uint32_t size) {
    for (Image& image : images) {
        if (image.size == 0) {
            image = {reinterpret_cast<uintptr_t>(base), size};
            return;
        }
    }
}

void UnregisterGuardedImage(const uint8_t* base) {
    for (Image& image : images) {
        if (image.base == reinterpret_cast<uintptr_t>(base))
            image = {};
    }
}

namespace {

// What a RunGuarded call keeps across a jump out of the DLL. It lives here, not on the stack:
// damaged code may scribble over the stack above its own frames before it faults.
struct GuardedRun {
    Guard guard;
    stack_t previous_stack;
    struct sigaction previous[kGuardedSignalCount];
    unsigned timeout_seconds;
    BoundedText* failure;
    bool completed;
};
constexpr int kDeepestNesting = 8;
GuardedRun runs[kDeepestNesting];
int depth = 0;

}  // namespace

bool RunGuarded(const std::function<void()>& work, unsigned timeout_seconds, BoundedText* failure) {
    if (depth == kDeepestNesting) {
        *failure = "guarded calls nested too deeply";
        return false;
    }
    GuardedRun& run = runs[depth++];
    run.timeout_seconds = timeout_seconds;
    run.failure = failure;
    run.completed = false;
    // The handler runs on its own stack: the DLL may have wrecked or used up the one it
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
    for (size_t i = 0; i < kGuardedSignalCount; ++i)
        sigaction(kGuardedSignals[i], &action, &run.previous[i]);

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
    GuardedRun& ended = runs[depth - 1];
    if (ended.timeout_seconds != 0)
        alarm(0);
    active_guard = ended.guard.outer;
    if (!ended.completed)
        SetEnteredExport(nullptr);  // the jump left the export without saying so
    for (size_t i = 0; i < kGuardedSignalCount; ++i)
        sigaction(kGuardedSignals[i], &ended.previous[i], nullptr);
    sigaltstack(&ended.previous_stack, nullptr);
    if (!ended.completed) {
        *ended.failure = last_fault.signal_number == SIGALRM
                             ? "did not return within " + Decimal(ended.timeout_seconds) + " s" +
                                   FaultPlace(last_fault)
                             : "crashed: " + FaultName(last_fault) + FaultPlace(last_fault);
    }
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
