#include "host/base/byte_reader.h"

#include "host/base/little_endian.h"

namespace qel {

bool ByteReader::Read16(uint32_t offset, uint16_t* value) const {
    if (!Contains(offset, 2))
        return false;
    *value = Load16(bytes_.data() + offset);
    return true;
}

bool ByteReader::Read32(uint32_t offset, uint32_t* value) const {
    if (!Contains(offset, 4))
        return false;
    *value = Load32(bytes_.data() + offset);
    return true;
}

bool ByteReader::ReadText(uint32_t offset, uint32_t max_length, BoundedText* text) const {
    text->clear();
    for (uint32_t i = 0; i <= max_length; ++i) {
        if (!Contains(uint64_t{offset} + i, 1))
            return false;
        const uint8_t byte = bytes_[offset + i];
        if (byte == 0)
            return true;
        text->push_back(static_cast<char>(byte));
    }
    return false;  // no NUL within the limit
}

}  // namespace qel
