// lstrcpyA, lstrcpynA, lstrlenA and CharLowerA over the Windows-1252 code page.
#include "host/base/fault_catching.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

uint8_t LowerCp1252(uint8_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    switch (c) {
        case 0x8A:
            return 0x9A;  // S caron
        case 0x8C:
            return 0x9C;  // OE
        case 0x8E:
            return 0x9E;  // Z caron
        case 0x9F:
            return 0xFF;  // Y diaeresis
        default:
            return c;
    }
}

}  // namespace

// Windows catches an access violation in these three and answers NULL or 0; so do they.
// Every pointer comes from the DLL and is read and written a byte at a time.
namespace {

// A byte the DLL names for reading. Windows reads whatever readable memory the DLL names,
// and so does this: a read harms nothing, so AddressSanitizer does not judge it (a damaged
// DLL once named a dead temporary on the host's stack). Writes stay checked.
__attribute__((no_sanitize("address"))) char ReadDllByte(const char* at) {
    return *at;
}

struct Copy {
    char* destination;
    const char* source;
    bool limited;  // lstrcpynA: at most size - 1 characters and the NUL
    int32_t size;
};

void CopyText(void* context) {
    Copy& copy = *static_cast<Copy*>(context);
    char* to = copy.destination;
    const char* from = copy.source;
    if (!copy.limited) {
        while ((*to++ = ReadDllByte(from++)) != 0) {
        }
        return;
    }
    for (int32_t room = copy.size; room > 1 && ReadDllByte(from) != 0; --room)
        *to++ = ReadDllByte(from++);
    if (copy.size != 0)
        *to = 0;
}

struct Length {
    const char* text;
    int32_t length;
};

void MeasureText(void* context) {
    Length& measured = *static_cast<Length*>(context);
    while (ReadDllByte(measured.text + measured.length) != 0)
        ++measured.length;
}

}  // namespace

QEL_WINAPI char* lstrcpyA(char* destination, const char* source) {
    if (destination == nullptr || source == nullptr)
        return nullptr;
    Copy copy{destination, source, false, 0};
    return CatchAccessViolation(&CopyText, &copy) ? destination : nullptr;
}

QEL_WINAPI char* lstrcpynA(char* destination, const char* source, int32_t size) {
    if (destination == nullptr || (source == nullptr && size > 1))
        return nullptr;
    Copy copy{destination, source, true, size};
    return CatchAccessViolation(&CopyText, &copy) ? destination : nullptr;
}

QEL_WINAPI int32_t lstrlenA(const char* text) {
    if (text == nullptr)
        return 0;
    Length measured{text, 0};
    return CatchAccessViolation(&MeasureText, &measured) ? measured.length : 0;
}

QEL_WINAPI char* CharLowerA(char* text_or_character) {
    const uintptr_t argument = reinterpret_cast<uintptr_t>(text_or_character);
    if ((argument >> 16) == 0) {  // a single character in the low byte
        return reinterpret_cast<char*>(uintptr_t{LowerCp1252(static_cast<uint8_t>(argument))});
    }
    for (char* c = text_or_character; *c != 0; ++c) {
        *c = static_cast<char>(LowerCp1252(static_cast<uint8_t>(*c)));
    }
    return text_or_character;
}

}  // namespace qel::win32
