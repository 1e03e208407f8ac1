#include "host/loader/byte_reader.h"
#include "host/loader/image_directories.h"

namespace qel {
namespace {

constexpr uint32_t kDescriptorSize = 20;
constexpr uint32_t kOrdinalFlag = 0x80000000;
constexpr uint32_t kMaximumNameLength = 255;

void Store32(std::span<uint8_t> image, uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool BindOneDll(std::span<uint8_t> image, std::string_view dll, uint32_t lookup_table,
                uint32_t address_table, const ImportResolver& resolve, BoundedText* error) {
    const ByteReader reader(image);
    for (uint32_t index = 0;; ++index) {
        const uint64_t lookup_slot = uint64_t{lookup_table} + uint64_t{index} * 4;
        const uint64_t address_slot = uint64_t{address_table} + uint64_t{index} * 4;
        uint32_t entry = 0;
        if (!reader.Contains(lookup_slot, 4) || !reader.Contains(address_slot, 4)) {
            *error = "import table of " + BoundedText(dll) + " runs outside the image";
            return false;
        }
        reader.Read32(static_cast<uint32_t>(lookup_slot), &entry);
        if (entry == 0)
            return true;
        if (entry & kOrdinalFlag) {
            *error = "import by ordinal not provided: " + BoundedText(dll) + "!#" +
                     Decimal(entry & 0xFFFF);
            return false;
        }
        BoundedText function;
        if (entry > UINT32_MAX - 2 || !reader.ReadText(entry + 2, kMaximumNameLength, &function)) {
            *error = "bad import name entry in " + BoundedText(dll);
            return false;
        }
        const uint32_t address = resolve(dll, function);
        if (address == 0) {
            *error = "import not provided: " + BoundedText(dll) + "!" + function;
            return false;
        }
        Store32(image, static_cast<uint32_t>(address_slot), address);
    }
}

}  // namespace

bool BindImports(std::span<uint8_t> image, DataDirectory directory, const ImportResolver& resolve,
                 BoundedText* error) {
    const ByteReader reader(image);
    for (uint32_t offset = 0;; offset += kDescriptorSize) {
        const uint64_t at = uint64_t{directory.rva} + offset;
        if (!reader.Contains(at, kDescriptorSize)) {
            *error = "import directory runs outside the image";
            return false;
        }
        uint32_t lookup_table = 0, name = 0, address_table = 0;
        reader.Read32(static_cast<uint32_t>(at), &lookup_table);
        reader.Read32(static_cast<uint32_t>(at + 12), &name);
        reader.Read32(static_cast<uint32_t>(at + 16), &address_table);
        if (lookup_table == 0 && name == 0 && address_table == 0)
            return true;  // terminator
        BoundedText dll;
        if (name == 0 || !reader.ReadText(name, kMaximumNameLength, &dll) || dll.empty()) {
            *error = "bad imported DLL name";
            return false;
        }
        if (address_table == 0) {
            *error = "import of " + dll + " has no address table";
            return false;
        }
        // Without a separate lookup table, the address table holds the names itself.
        if (lookup_table == 0)
            lookup_table = address_table;
        if (!BindOneDll(image, dll, lookup_table, address_table, resolve, error))
            return false;
    }
}

}  // namespace qel
