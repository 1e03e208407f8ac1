// Values the script functions give and take whose meaning a host must know to read them.
// Dependency-free, for the DLL and the hosts alike.
#pragma once
#include <stdint.h>

namespace qel_abi {

// cvendorid's answer.
namespace vendor_code {
enum : uint32_t { kOther = 0, kIntel = 1, kCyrix = 2, kAmd = 3 };
}

// ccpuspeed's argument: which figure it reports; anything else counts as kRating.
namespace speed_mode {
enum : int32_t { kRating = 0, kMhz = 1, kMicroseconds = 2, kCycles = 3 };
}

}  // namespace qel_abi
