// The small pieces every output of qelhost is made of: JSON strings, padded table cells,
// durations.
#pragma once
#include <stddef.h>

#include <optional>
#include <string>

namespace qel {

std::string JsonQuote(const std::string& text);
std::string JsonQuote(const std::optional<std::string>& text);  // null when absent

// `text` filled with blanks to `width` characters, for the tables qelhost prints.
std::string Padded(std::string text, size_t width);

// "1.003 s": how long a blocking call took.
std::string SecondsText(double seconds);

}  // namespace qel
