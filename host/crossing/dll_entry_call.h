// The crossings between host and DLL code: the one way the host enters DLL code, and the
// one way DLL code calls back into the host.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace qel {

// Calls `entry` with `count` 32-bit arguments pushed as stdcall and cdecl both expect, on the
// stack whose top is `stack_top` (null: the caller's own), and returns EAX. EBX, ESI, EDI and
// EBP are zero inside the call, so damaged code that uses one before setting it touches the
// null page instead of the host's data (EBX is a PIE's GOT, EBP its frame chain). Whatever
// the entry leaves in ESP, EBP and the flags, the host's come back.
extern "C" int32_t CallDllEntryOn(void* stack_top, const void* entry, const uint32_t* arguments,
                                  uint32_t count) __asm__("qel_call_dll_entry");

// Where DLL code runs from now on: the top of a stack of its own, fenced by guard pages, so
// that damaged code walking up or down its stack faults instead of overwriting the host's
// frames. Null (the default, and on Windows, whose exception handling needs the thread's own
// stack): the caller's stack.
void SetDllStack(void* stack_top);
void* DllStack();

// A pointer as the 32-bit word it is to the DLL.
inline uint32_t DllWord(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// The address DLL code calls to reach the host's standard-call `function`, which pops
// `argument_bytes`. Called on a DLL stack, the thunk runs `function` on the host's stack just
// below the frame that entered the DLL, so no frame of the host is ever left on the DLL's
// stack: damaged code finds no host return address there to return into, nor a pointer to a
// dead host variable to pass back. ECX and EDX come back zero. The same function always gets
// the same thunk; 0 when every thunk is taken by other functions.
uint32_t HostCallThunk(const void* function, uint32_t argument_bytes);
// How many host functions can have a thunk: the Win32 functions the DLL may import and the
// host's callback, with room to spare.
constexpr uint32_t kHostCallThunkCount = 16;

// What a standard-call function pops: every argument the host exchanges with the DLL is a
// 32-bit word.
template <typename Result, typename... Arguments>
constexpr uint32_t ArgumentBytes(Result(__attribute__((stdcall)) *)(Arguments...)) {
    static_assert(((sizeof(Arguments) == 4) && ...));
    return 4 * sizeof...(Arguments);
}

// Calls the DLL's standard-call `entry` on the DLL's stack with exactly the words it pops.
template <typename Entry, size_t N>
int32_t CallDllEntry(Entry entry, const uint32_t (&arguments)[N]) {
    static_assert(ArgumentBytes(Entry{}) == 4 * N, "one word for each argument of the entry");
    return CallDllEntryOn(DllStack(), reinterpret_cast<const void*>(entry), arguments, N);
}

}  // namespace qel
