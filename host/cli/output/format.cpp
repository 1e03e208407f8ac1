#include "host/cli/output/format.h"

#include <stdio.h>

#include <nlohmann/json.hpp>

namespace qel {
namespace {

// The DLL's texts are code-page bytes; nlohmann/json holds UTF-8, so each byte from 0x80 up
// becomes the Latin-1 character of that number.
std::string Utf8OfCodePage(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const unsigned char byte : text) {
        if (byte < 0x80) {
            utf8 += static_cast<char>(byte);
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string StringText(const std::string& text) {
    // ASCII only, so that the Latin-1 characters read \u00XX; the UTF-8 is always valid, and
    // the replacing handler keeps a mistake from ever throwing at the user.
    return Json(Utf8OfCodePage(text)).dump(-1, ' ', true, Json::error_handler_t::replace);
}

enum class Layout { kLine, kDocument, kList };

void Write(const Json& value, Layout layout, std::string* out) {
    if (value.is_object()) {
        *out += "{";
        for (auto member = value.begin(); member != value.end(); ++member) {
            *out += (member == value.begin() ? "" : ", ") + StringText(member.key()) + ": ";
            const bool listed = layout == Layout::kDocument && member->is_array();
            Write(*member, listed ? Layout::kList : Layout::kLine, out);
        }
        *out += "}";
    } else if (value.is_array()) {
        const char* separator = layout == Layout::kList ? ",\n  " : ", ";
        *out += layout == Layout::kList && !value.empty() ? "[\n  " : "[";
        for (auto item = value.begin(); item != value.end(); ++item) {
            if (item != value.begin())
                *out += separator;
            Write(*item, Layout::kLine, out);
        }
        *out += layout == Layout::kList && !value.empty() ? "\n]" : "]";
    } else if (value.is_string()) {
        *out += StringText(value.get_ref<const std::string&>());
    } else if (value.is_number_float()) {
        char number[48];
        snprintf(number, sizeof number, "%.3f", value.get<double>());
        *out += number;
    } else {
        *out += value.dump();
    }
}

}  // namespace

std::string JsonLine(const Json& value) {
    std::string text;
    Write(value, Layout::kLine, &text);
    return text;
}

std::string JsonDocument(const Json& document) {
    std::string text;
    Write(document, Layout::kDocument, &text);
    return text + "\n";
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
