// lstrcpyA, lstrcpynA, lstrlenA and CharLowerA over the Windows-1252 code page.
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

QEL_WINAPI char* lstrcpyA(char* destination, const char* source) {
    if (destination == nullptr || source == nullptr)
        return nullptr;
    char* to = destination;
    while ((*to++ = *source++) != 0) {
    }
    return destination;
}

QEL_WINAPI char* lstrcpynA(char* destination, const char* source, int32_t size) {
    if (destination == nullptr || (source == nullptr && size > 1))
        return nullptr;
    char* to = destination;
    while (size > 1 && *source != 0) {
        *to++ = *source++;
        --size;
    }
    if (size != 0)
        *to = 0;
    return destination;
}

QEL_WINAPI int32_t lstrlenA(const char* text) {
    if (text == nullptr)
        return 0;
    int32_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
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
