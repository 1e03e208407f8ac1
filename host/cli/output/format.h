// The small pieces every output of qelhost is made of: JSON documents, padded table cells,
// durations.
#pragma once
#include <stddef.h>

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace qel {

// What qelhost's JSON is built of (nlohmann/json); members keep the order they were added in.
using Json = nlohmann::ordered_json;

// `value` on one line, ", " between items and ": " after each key. Strings hold code-page
// text: a byte from 0x80 up is a Latin-1 character and is written \u00XX. A number with a
// fraction is written to three decimals (seconds to the millisecond, MHz to the kHz).
std::string JsonLine(const Json& value);

// A whole document and its newline: as JsonLine, except that an array among the members of
// the top object lists each of its items on a line of its own.
std::string JsonDocument(const Json& document);

// `text` filled with blanks to `width` characters, for the tables qelhost prints.
std::string Padded(std::string text, size_t width);

// "1.003 s": how long a blocking call took.
std::string SecondsText(double seconds);

}  // namespace qel
