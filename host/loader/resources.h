// The resource directory of an image, walked as Windows' FindResource walks it: type, then
// name, then language.
#pragma once
#include <stdint.h>

#include <optional>
#include <span>

#include "host/loader/pe_headers.h"

namespace qel {

// The data of the resource of numeric `type` and `id` in the image laid out in `image`, in
// the neutral language if it has one, else US English, else whichever it carries; nullopt
// when there is none or the directory is damaged.
std::optional<std::span<const uint8_t>> FindResourceData(std::span<const uint8_t> image,
                                                         DataDirectory directory, uint32_t type,
                                                         uint32_t id);

}  // namespace qel
