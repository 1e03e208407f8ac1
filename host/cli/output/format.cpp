#include "host/cli/output/format.h"

#include <stdio.h>

namespace qel {

std::string JsonQuote(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x80) {
                    // Bytes outside ASCII are code-page characters; \u00XX keeps them Latin-1.
                    char escape[8];
                    snprintf(escape, sizeof escape, "\\u%04x", c);
                    quoted += escape;
                } else {
                    quoted += static_cast<char>(c);
                }
        }
    }
    return quoted + "\"";
}

std::string JsonQuote(const std::optional<std::string>& text) {
    return text ? JsonQuote(*text) : "null";
}

std::string Padded(std::string text, size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string SecondsText(double seconds) {
    char text[32];
    snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

}  // namespace qel
