// IsNumericText and ParseNumericText on arbitrary text, against a model written here from
// the rules: blanks are 0x20 only, one optional sign, digits; the value wraps modulo 2^32.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "extender/numeric_text.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct Model {
    bool numeric;
    uint32_t value;
};

Model Expected(const std::string& text) {
    size_t i = 0;
    while (text[i] == ' ')
        ++i;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+')
        negative = text[i++] == '-';
    uint64_t value = 0;  // kept below 2^32 after each digit
    while (IsDigit(text[i]))
        value = (value * 10 + static_cast<uint64_t>(text[i++] - '0')) % (uint64_t{1} << 32);
    if (negative)
        value = ((uint64_t{1} << 32) - value) % (uint64_t{1} << 32);
    return {text[i] == '\0', static_cast<uint32_t>(value)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text ends at the first NUL, as the library sees it.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = bytes.substr(0, bytes.find('\0'));
    const Model model = Expected(text);
    if (IsNumericText(text.c_str()) != model.numeric)
        __builtin_trap();
    if (static_cast<uint32_t>(ParseNumericText(text.c_str())) != model.value)
        __builtin_trap();
    int32_t argument = 0;
    const bool accepted = ReadNumericArgument(text.c_str(), &argument);
    if (accepted != (!text.empty() && model.numeric) ||
        (accepted && static_cast<uint32_t>(argument) != model.value)) {
        __builtin_trap();
    }
    return 0;
}
