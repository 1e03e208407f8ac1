#include "extender/numeric_text.h"

namespace {

// Character classes independent of the code page: bytes 0x80 and up belong to none.
bool IsBlank(char c) {
    return c == ' ';
}
bool IsSign(char c) {
    return c == '-' || c == '+';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool IsNumericText(const char* text) {
    while (IsBlank(*text))
        ++text;
    if (IsSign(*text))
        ++text;
    while (IsDigit(*text))
        ++text;
    return *text == '\0';
}

int32_t ParseNumericText(const char* text) {
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '-') {
        negative = true;
        ++text;
    } else if (*text == '+') {
        ++text;
    }
    // Unsigned, so that the wrap modulo 2^32 is defined behaviour.
    uint32_t value = 0;
    while (IsDigit(*text)) {
        value = value * 10u + static_cast<uint32_t>(*text - '0');
        ++text;
    }
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

bool ReadNumericArgument(const char* text, int32_t* value) {
    if (text == nullptr || text[0] == '\0' || !IsNumericText(text))
        return false;
    *value = ParseNumericText(text);
    return true;
}
