#include "host/virtual_cpu/clock_rate.h"

namespace qel::virtual_cpu {

std::optional<uint32_t> ParseClockMhz(std::string_view text) {
    uint64_t khz = 0;
    size_t at = 0, whole_digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; at++, whole_digits++) {
        khz = khz * 10 + static_cast<uint32_t>(text[at] - '0');
        if (khz > kFastestClockKhz)
            return std::nullopt;  // long before it could overflow
    }
    if (whole_digits == 0)
        return std::nullopt;
    khz *= 1000;
    if (at < text.size() && text[at] == '.') {
        at++;
        uint64_t scale = 100;
        size_t decimals = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; at++, decimals++) {
            if (decimals == 3)
                return std::nullopt;
            khz += static_cast<uint32_t>(text[at] - '0') * scale;
            scale /= 10;
        }
        if (decimals == 0)
            return std::nullopt;
    }
    if (at != text.size() || khz < kSlowestClockKhz || khz > kFastestClockKhz)
        return std::nullopt;
    return static_cast<uint32_t>(khz);
}

}  // namespace qel::virtual_cpu
