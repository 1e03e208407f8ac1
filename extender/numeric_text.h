// Argument texts that hold numbers: the acceptance test and the parser are separate.
#pragma once
#include <stdint.h>

// True when the whole text is: blanks (0x20 only), at most one sign, digits; each part may
// be empty, so "", " ", "-" and "+" pass.
bool IsNumericText(const char* text);

// The number at the start of the text: blanks, an optional sign, digits, wrapping modulo
// 2^32; anything after the digits is ignored, and no digits at all give 0.
int32_t ParseNumericText(const char* text);

// The check every numeric argument passes: a text that is present, not empty, and numeric.
// On success `value` receives the parsed number.
bool ReadNumericArgument(const char* text, int32_t* value);
