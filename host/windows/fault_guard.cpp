// qelhost.exe's guard around calls into the DLL: a fault in DLL code becomes a message, as in
// the Linux host, instead of Windows' crash handling (under Wine a debugger that waits on a
// dialog). A vectored handler records the fault and resumes at a jump back into the guard.
#include "host/windows/fault_guard.h"

#include <malloc.h>
#include <windows.h>

#include <cstdio>

#include "host/crossing/entered_export.h"
#include "host/crossing/served_sites.h"
#include "host/protocol/extender_protocol.h"

namespace qel {
namespace {

struct Fault {
    DWORD code = 0;
    ULONG_PTR address = 0;  // an access violation's data address
    DWORD instruction = 0;
    const char* entered_export = nullptr;
};

void* jump_buffer[5];
bool guarding = false;
Fault last_fault;
// Where the jump back runs: the faulting stack may be used up or wrecked.
alignas(16) char escape_stack[16384];

struct FaultKind {
    DWORD code;
    const char* text;
};
const FaultKind kFaultKinds[] = {
    {EXCEPTION_ACCESS_VIOLATION, "access violation at address"},
    {EXCEPTION_IN_PAGE_ERROR, "in-page error at address"},
    {EXCEPTION_STACK_OVERFLOW, "stack overflow (EXCEPTION_STACK_OVERFLOW)"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction (EXCEPTION_ILLEGAL_INSTRUCTION)"},
    {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction (EXCEPTION_PRIV_INSTRUCTION)"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "division by zero (EXCEPTION_INT_DIVIDE_BY_ZERO)"},
    {EXCEPTION_INT_OVERFLOW, "division overflow (EXCEPTION_INT_OVERFLOW)"},
    {EXCEPTION_BREAKPOINT, "breakpoint, INT3 (EXCEPTION_BREAKPOINT)"},
    {EXCEPTION_SINGLE_STEP, "single-step trap, trap flag set (EXCEPTION_SINGLE_STEP)"},
};

const FaultKind* KindOf(DWORD code) {
    for (const FaultKind& kind : kFaultKinds) {
        if (kind.code == code)
            return &kind;
    }
    return nullptr;
}

__attribute__((noreturn)) void JumpBack() {
    __builtin_longjmp(jump_buffer, 1);
}

// A UD2 the virtual processor put in place of a CPUID or RDTSC: answered from the models.
bool ServedSite(const EXCEPTION_RECORD& record, CONTEXT& context) {
    if (record.ExceptionCode != EXCEPTION_ILLEGAL_INSTRUCTION)
        return false;
    uintptr_t instruction = context.Eip;
    SiteRegisters registers{context.Eax, context.Ebx, context.Ecx, context.Edx};
    if (!ServeSiteAt(&instruction, &registers))
        return false;
    context.Eax = registers.eax;
    context.Ebx = registers.ebx;
    context.Ecx = registers.ecx;
    context.Edx = registers.edx;
    context.Eip = instruction;
    return true;
}

LONG CALLBACK OnFault(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    CONTEXT& context = *pointers->ContextRecord;
    if (ServedSite(record, context))
        return EXCEPTION_CONTINUE_EXECUTION;
    if (!guarding || KindOf(record.ExceptionCode) == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
    last_fault.code = record.ExceptionCode;
    last_fault.address = record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
    last_fault.instruction = reinterpret_cast<DWORD>(record.ExceptionAddress);
    last_fault.entered_export = EnteredExport();
    guarding = false;
    // The host's own code expects the flags the ABI promises: no trap, strings upwards.
    context.EFlags &= ~DWORD{0x100 | 0x400};
    context.Esp = reinterpret_cast<DWORD>(escape_stack + sizeof escape_stack - 16);
    context.Eip = reinterpret_cast<DWORD>(&JumpBack);
    return EXCEPTION_CONTINUE_EXECUTION;
}

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(value));
    return text;
}

// "at RVA 0x000013d2 in _QELExtenderQuery@12": where the faulting instruction was.
std::string Place(const Fault& fault) {
    HMODULE module = nullptr;
    const bool in_module =
        GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(fault.instruction), &module) != FALSE;
    // The extender is the module with its dispatch export.
    const bool in_extender = in_module && GetProcAddress(module, "_QELExtender2@40") != nullptr;
    std::string place = in_extender
                            ? " at RVA " + Hex(fault.instruction - reinterpret_cast<DWORD>(module))
                            : " at " + Hex(fault.instruction) + ", outside the DLL";
    if (fault.entered_export != nullptr)
        place += std::string(" in ") + fault.entered_export;
    return place;
}

std::string Describe(const Fault& fault) {
    const FaultKind* kind = KindOf(fault.code);
    std::string name = kind->text;
    if (fault.code == EXCEPTION_ACCESS_VIOLATION || fault.code == EXCEPTION_IN_PAGE_ERROR) {
        name += " " + Hex(fault.address) +
                (fault.code == EXCEPTION_ACCESS_VIOLATION ? " (EXCEPTION_ACCESS_VIOLATION)"
                                                          : " (EXCEPTION_IN_PAGE_ERROR)");
    }
    return "crashed: " + name + Place(fault);
}

PVOID fault_handler = nullptr;

}  // namespace

void InstallFaultHandler() {
    if (fault_handler == nullptr)
        fault_handler = AddVectoredExceptionHandler(1, &OnFault);
}

bool RunGuardedOnWindows(const std::function<void()>& work, std::string* failure) {
    InstallFaultHandler();
    if (fault_handler == nullptr) {
        work();
        return true;
    }
    if (__builtin_setjmp(jump_buffer) == 0) {
        guarding = true;
        work();
        guarding = false;
        return true;
    }
    SetEnteredExport(nullptr);  // the jump left the export without saying so
    if (last_fault.code == EXCEPTION_STACK_OVERFLOW)
        _resetstkoflw();  // the guard page the overflow used up, for the next one
    *failure = Describe(last_fault);
    return false;
}

}  // namespace qel
