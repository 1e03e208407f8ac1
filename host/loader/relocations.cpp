#include <vector>

#include "host/base/byte_reader.h"
#include "host/base/little_endian.h"
#include "host/loader/image_directories.h"

namespace qel {
namespace {

constexpr uint16_t kRelocationAbsolute = 0;  // padding entry
constexpr uint16_t kRelocationHighLow = 3;   // 32-bit absolute address

using Kind = LoadFailureKind;

}  // namespace

bool ApplyRelocations(std::span<uint8_t> image, DataDirectory directory, uint32_t linked_base,
                      uint32_t delta, LoadFailure* failure) {
    const ByteReader reader(image);
    std::vector<bool> patched(image.size(), false);
    uint32_t offset = 0;
    while (offset < directory.size) {
        const uint32_t block = directory.rva + offset;
        uint32_t page = 0, block_size = 0;
        if (directory.size - offset < pe::kRelocationBlockHeaderSize ||
            !reader.Read32(block + pe::kRelocationPage, &page) ||
            !reader.Read32(block + pe::kRelocationBlockSize, &block_size)) {
            return Fail(failure, Kind::kTruncated, "truncated base relocation block");
        }
        if (block_size < pe::kRelocationBlockHeaderSize || block_size > directory.size - offset ||
            block_size % 2 != 0) {
            return Fail(failure, Kind::kNotPeFile,
                        "bad base relocation block size " + Decimal(block_size));
        }
        for (uint32_t entry = pe::kRelocationBlockHeaderSize; entry < block_size; entry += 2) {
            uint16_t word = 0;
            reader.Read16(block + entry, &word);
            const uint16_t type = word >> 12;
            if (type == kRelocationAbsolute)
                continue;
            const uint64_t target = uint64_t{page} + (word & 0x0FFF);
            if (type != kRelocationHighLow) {
                return Fail(failure, Kind::kUnsupported,
                            "unsupported base relocation type " + Decimal(type));
            }
            if (!reader.Contains(target, 4))
                return Fail(failure, Kind::kOutsideImage, "base relocation outside the image");
            uint32_t value = 0;
            reader.Read32(static_cast<uint32_t>(target), &value);
            if (value - linked_base > image.size()) {
                return Fail(failure, Kind::kOutsideImage,
                            "base relocation at RVA " + Decimal(target) +
                                " does not hold an address inside the image");
            }
            if (patched[target] || patched[target + 1] || patched[target + 2] ||
                patched[target + 3]) {
                return Fail(failure, Kind::kNotPeFile,
                            "overlapping base relocations at RVA " + Decimal(target));
            }
            for (int i = 0; i < 4; ++i)
                patched[target + i] = true;
            // Wraps like the processor's own address arithmetic.
            Store32(image.data() + target, value + delta);
        }
        offset += block_size;
    }
    return true;
}

}  // namespace qel
