// The line protocol between qelhost and the runner, the process that loads the DLL on an
// emulated processor. One request per line, one answer line per request; fields are separated
// by single blanks, numbers are decimal, and texts travel as hexadecimal bytes ("-" for a null
// text) so that any byte, blank or newline crosses intact.
//
//   load PATH                       -> ok | error KIND TEXT          (KIND: LoadFailureKindName)
//   describe                        -> ok VERSION DESCRIPTION
//   handshake VERSION               -> ok RETURNED REFUSAL
//   enumerate INDEX                 -> ok RETURNED RECORD            (56 bytes)
//   call NUMBER ANSWER A1 .. A5     -> ok RETURNED CALLBACKS STATUS TYPE VALUE HANDED TEXT
//   cpuid LEAF                      -> ok EAX EBX ECX EDX | none     (no CPUID, or no such leaf)
//   set box|memory|laa|timeout VALUE -> ok                           (memory "-": the machine's)
//   clock frequency|counter|tick|mmtime START STEP -> ok             (scripted: START, START+STEP,
//                                                                      ...)
//   clock timeline STEP_NS HZ       -> ok     (every clock reads one simulated time that each
//                                              read advances by STEP_NS; the performance
//                                              counter counts HZ a second)
//   clock real                      -> ok
//   virtual cpuid WORD ...          -> ok | error TEXT   (CPUID answered from the model whose
//                                              words these are: WriteCpuidWire)
//   virtual clock KHZ               -> ok     (RDTSC counts KHZ cycles a millisecond of the
//                                              session's clock; 0: the processor's own)
//   quit
// The virtual processor applies to a DLL loaded after it is set; "cpuid" then answers from
// its model too.
// A request whose DLL code faults or overruns the time limit answers "fault TEXT".
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace qel::wire {

inline char HexDigit(unsigned value) {
    return "0123456789abcdef"[value & 0xF];
}

// Writes the hexadecimal form of `size` bytes (two characters each, no NUL) to `out`.
inline void EncodeHex(const void* bytes, size_t size, char* out) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        out[2 * i] = HexDigit(data[i] >> 4);
        out[2 * i + 1] = HexDigit(data[i]);
    }
}

inline int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes `length` hexadecimal characters into length / 2 bytes; false on a bad character or
// an odd length.
inline bool DecodeHex(const char* text, size_t length, uint8_t* out) {
    if (length % 2 != 0)
        return false;
    for (size_t i = 0; i < length; i += 2) {
        const int high = HexValue(text[i]), low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out[i / 2] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

}  // namespace qel::wire
