// The little JSON the host writes: quoted strings and optional strings.
#pragma once
#include <optional>
#include <string>

namespace qel {

std::string JsonQuote(const std::string& text);
std::string JsonQuote(const std::optional<std::string>& text);  // null when absent

}  // namespace qel
