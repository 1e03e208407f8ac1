#include <vector>

#include "host/loader/byte_reader.h"
#include "host/loader/image_directories.h"

namespace qel {
namespace {

constexpr uint16_t kRelocationAbsolute = 0;  // padding entry
constexpr uint16_t kRelocationHighLow = 3;   // 32-bit absolute address
constexpr uint32_t kBlockHeaderSize = 8;

}  // namespace

bool ApplyRelocations(std::span<uint8_t> image, DataDirectory directory, uint32_t linked_base,
                      uint32_t delta, BoundedText* error) {
    const ByteReader reader(image);
    std::vector<bool> patched(image.size(), false);
    uint32_t offset = 0;
    while (offset < directory.size) {
        uint32_t page = 0, block_size = 0;
        if (directory.size - offset < kBlockHeaderSize ||
            !reader.Read32(directory.rva + offset, &page) ||
            !reader.Read32(directory.rva + offset + 4, &block_size)) {
            *error = "truncated base relocation block";
            return false;
        }
        if (block_size < kBlockHeaderSize || block_size > directory.size - offset ||
            block_size % 2 != 0) {
            *error = "bad base relocation block size " + Decimal(block_size);
            return false;
        }
        for (uint32_t entry = kBlockHeaderSize; entry < block_size; entry += 2) {
            uint16_t word = 0;
            reader.Read16(directory.rva + offset + entry, &word);
            const uint16_t type = word >> 12;
            if (type == kRelocationAbsolute)
                continue;
            const uint64_t target = uint64_t{page} + (word & 0x0FFF);
            if (type != kRelocationHighLow) {
                *error = "unsupported base relocation type " + Decimal(type);
                return false;
            }
            if (!reader.Contains(target, 4)) {
                *error = "base relocation outside the image";
                return false;
            }
            uint32_t value = 0;
            reader.Read32(static_cast<uint32_t>(target), &value);
            if (value - linked_base > image.size()) {
                *error = "base relocation at RVA " + Decimal(target) +
                         " does not hold an address inside the image";
                return false;
            }
            if (patched[target] || patched[target + 1] || patched[target + 2] ||
                patched[target + 3]) {
                *error = "overlapping base relocations at RVA " + Decimal(target);
                return false;
            }
            for (int i = 0; i < 4; ++i)
                patched[target + i] = true;
            value += delta;  // wraps like the processor's own address arithmetic
            for (int i = 0; i < 4; ++i)
                image[target + i] = static_cast<uint8_t>(value >> (8 * i));
        }
        offset += block_size;
    }
    return true;
}

}  // namespace qel
