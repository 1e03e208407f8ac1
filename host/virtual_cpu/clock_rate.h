// The clock rate of a virtual processor as --clock-mhz gives it: whole megahertz ("75",
// "2596") or up to three decimals ("233.3", "4.77"), kept in kilohertz.
// Freestanding (the runner builds it).
#pragma once
#include <stdint.h>

#include <optional>
#include <string_view>

namespace qel::virtual_cpu {

inline constexpr uint32_t kSlowestClockKhz = 1000;       // 1 MHz
inline constexpr uint32_t kFastestClockKhz = 100000000;  // 100 GHz

// The rate in kilohertz, or nothing for text that is not a rate from 1 MHz to 100 GHz
// with at most three decimals.
std::optional<uint32_t> ParseClockMhz(std::string_view text);

}  // namespace qel::virtual_cpu
