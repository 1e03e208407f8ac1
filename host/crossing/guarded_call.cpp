#include "host/crossing/guarded_call.h"

#include <signal.h>

#include "host/base/fault_catching.h"
#include "host/crossing/entered_export.h"
#include "host/crossing/system_call_names.h"

namespace qel {
namespace {

struct Image {
    uintptr_t base;
    uint32_t size;
};
Image images[8];  // a test program loads a few copies at a time; qelhost one

// Where a stack that runs out faults: just below the stack pointer.
constexpr uintptr_t kStackOverflowReach = 64 * 1024;

BoundedText FaultName(const CaughtFault& fault) {
    switch (fault.signal_number) {
        case SIGSEGV:
            if (fault.have_registers && fault.address <= fault.stack + 256 &&
                fault.stack - fault.address <= kStackOverflowReach) {
                return "stack overflow (SIGSEGV)";
            }
            return "access violation at address " + Hexadecimal(fault.address) + " (SIGSEGV)";
        case SIGBUS:
            return "bus error at address " + Hexadecimal(fault.address) + " (SIGBUS)";
        case SIGILL:
            return "illegal instruction (SIGILL)";
        case SIGFPE:
            return fault.code == FPE_INTOVF ? "division overflow (SIGFPE)"
                                            : "division by zero (SIGFPE)";
        case SIGTRAP:
            return fault.code == TRAP_TRACE ? "single-step trap, trap flag set (SIGTRAP)"
                                            : "breakpoint, INT3 (SIGTRAP)";
        case SIGSYS: {
            const char* name = SystemCallName(fault.system_call);
            return "system call (" +
                   (name != nullptr ? BoundedText(name) : "number " + Decimal(fault.system_call)) +
                   ")";
        }
        default:
            return BoundedText("signal ") + Decimal(static_cast<uint64_t>(fault.signal_number));
    }
}

// "at RVA 0x00001a2b in _QELExtender2@40": where the faulting instruction was.
BoundedText FaultPlace(const CaughtFault& fault, const char* entered_export) {
    BoundedText place;
    if (fault.have_registers) {
        const Image* inside = nullptr;
        for (const Image& image : images) {
            if (image.size != 0 && fault.instruction - image.base < image.size)
                inside = &image;
        }
        place += inside != nullptr ? " at RVA " + Hexadecimal(fault.instruction - inside->base)
                                   : " at " + Hexadecimal(fault.instruction) + ", outside the DLL";
    }
    if (entered_export != nullptr)
        place += BoundedText(" in ") + entered_export;
    return place;
}

// What a RunGuarded call keeps across a jump out of the DLL, beside what CatchFaults keeps:
// here, not on the stack, for the same reason.
struct GuardedRun {
    unsigned timeout_seconds;
    BoundedText* failure;
    CaughtFault fault;
};
GuardedRun runs[kDeepestFaultCatching];
int depth = 0;

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

bool RunGuarded(const std::function<void()>& work, unsigned timeout_seconds, BoundedText* failure) {
    if (depth == kDeepestFaultCatching) {
        *failure = "guarded calls nested too deeply";
        return false;
    }
    runs[depth++] = GuardedRun{timeout_seconds, failure, CaughtFault{}};
    const bool completed = CatchFaults(work, timeout_seconds, &runs[depth - 1].fault);
    const GuardedRun& ended = runs[--depth];
    if (completed)
        return true;
    // The jump left the export without saying so.
    const char* entered_export = EnteredExport();
    SetEnteredExport(nullptr);
    const CaughtFault& fault = ended.fault;
    if (fault.signal_number == SIGALRM) {
        *ended.failure = "did not return within " + Decimal(ended.timeout_seconds) + " s" +
                         FaultPlace(fault, entered_export);
    } else if (fault.signal_number == SIGSYS) {
        *ended.failure = "made a " + FaultName(fault) + FaultPlace(fault, entered_export) +
                         ", which the sandbox's seccomp filter refused";
    } else {
        *ended.failure = "crashed: " + FaultName(fault) + FaultPlace(fault, entered_export);
    }
    return false;
}

}  // namespace qel
