// Bounds-checked little-endian reads from a byte range. Every offset and size that comes
// from a file passes through here, so a damaged file can only produce a refusal.
#pragma once
#include <stdint.h>

#include <span>

#include "host/base/bounded_text.h"

namespace qel {

class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    // True when [offset, offset + length) lies inside the range, without overflow.
    bool Contains(uint64_t offset, uint64_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    bool Read16(uint32_t offset, uint16_t* value) const;
    bool Read32(uint32_t offset, uint32_t* value) const;
    // A NUL-terminated string of at most `max_length` characters starting at `offset`.
    bool ReadText(uint32_t offset, uint32_t max_length, BoundedText* text) const;
    const uint8_t* At(uint32_t offset) const { return bytes_.data() + offset; }

  private:
    std::span<const uint8_t> bytes_;
};

}  // namespace qel
