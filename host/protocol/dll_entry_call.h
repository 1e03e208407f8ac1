// The one way the host enters DLL code.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace qel {

// Calls `entry` with `count` 32-bit arguments pushed as stdcall and cdecl both expect, on the
// stack whose top is `stack_top` (null: the caller's own), and returns EAX. EBX, ESI, EDI and
// EBP are zero inside the call, so damaged code that uses one before setting it touches the
// null page instead of the host's data (EBX is a PIE's GOT, EBP its frame chain). Whatever
// the entry leaves in ESP and EBP, the host's stack comes back.
extern "C" int32_t CallDllEntryOn(void* stack_top, const void* entry, const uint32_t* arguments,
                                  uint32_t count) __asm__("qel_call_dll_entry");

// Where DLL code runs from now on: the top of a stack of its own, fenced by guard pages, so
// that damaged code walking up or down its stack faults instead of overwriting the host's
// frames. Null (the default, and on Windows, whose exception handling needs the thread's own
// stack): the caller's stack.
void SetDllStack(void* stack_top);
void* DllStack();

template <size_t N>
int32_t CallDllEntry(const void* entry, const uint32_t (&arguments)[N]) {
    return CallDllEntryOn(DllStack(), entry, arguments, N);
}

}  // namespace qel
