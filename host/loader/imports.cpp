#include "host/base/byte_reader.h"
#include "host/base/little_endian.h"
#include "host/crossing/dll_entry_call.h"
#include "host/loader/image_directories.h"

namespace qel {
namespace {

constexpr uint32_t kOrdinalFlag = 0x80000000;
constexpr uint32_t kMaximumNameLength = 255;

using Kind = LoadFailureKind;

bool BindOneDll(std::span<uint8_t> image, std::string_view dll, uint32_t lookup_table,
                uint32_t address_table, const ImportResolver& resolve, LoadFailure* failure) {
    const ByteReader reader(image);
    for (uint32_t index = 0;; ++index) {
        const uint64_t lookup_slot = uint64_t{lookup_table} + uint64_t{index} * 4;
        const uint64_t address_slot = uint64_t{address_table} + uint64_t{index} * 4;
        uint32_t entry = 0;
        if (!reader.Contains(lookup_slot, 4) || !reader.Contains(address_slot, 4)) {
            return Fail(failure, Kind::kOutsideImage,
                        "import table of " + BoundedText(dll) + " runs outside the image");
        }
        reader.Read32(static_cast<uint32_t>(lookup_slot), &entry);
        if (entry == 0)
            return true;
        if (entry & kOrdinalFlag) {
            return Fail(failure, Kind::kMissingImport,
                        "import by ordinal not provided: " + BoundedText(dll) + "!#" +
                            Decimal(entry & 0xFFFF));
        }
        BoundedText function;
        if (entry > UINT32_MAX - pe::kImportHintSize ||
            !reader.ReadText(entry + pe::kImportHintSize, kMaximumNameLength, &function)) {
            return Fail(failure, Kind::kOutsideImage,
                        "bad import name entry in " + BoundedText(dll));
        }
        const HostFunction host = resolve(dll, function);
        if (host.address == nullptr) {
            return Fail(failure, Kind::kMissingImport,
                        "import not provided: " + BoundedText(dll) + "!" + function);
        }
        // DLL code reaches the host only through a thunk, which runs the host's code on the
        // host's own stack.
        const uint32_t thunk = HostCallThunk(host.address, host.argument_bytes);
        if (thunk == 0) {
            return Fail(
                failure, Kind::kUnsupported,
                "more imports than the host has call thunks: " + BoundedText(dll) + "!" + function);
        }
        Store32(image.data() + address_slot, thunk);
    }
}

}  // namespace

bool BindImports(std::span<uint8_t> image, DataDirectory directory, const ImportResolver& resolve,
                 LoadFailure* failure) {
    const ByteReader reader(image);
    for (uint32_t offset = 0;; offset += pe::kImportDescriptorSize) {
        const uint64_t at = uint64_t{directory.rva} + offset;
        if (!reader.Contains(at, pe::kImportDescriptorSize))
            return Fail(failure, Kind::kOutsideImage, "import directory runs outside the image");
        const uint32_t descriptor = static_cast<uint32_t>(at);
        uint32_t lookup_table = 0, name = 0, address_table = 0;
        reader.Read32(descriptor + pe::kImportLookupTable, &lookup_table);
        reader.Read32(descriptor + pe::kImportDllName, &name);
        reader.Read32(descriptor + pe::kImportAddressTable, &address_table);
        if (lookup_table == 0 && name == 0 && address_table == 0)
            return true;  // terminator
        BoundedText dll;
        if (name == 0 || !reader.ReadText(name, kMaximumNameLength, &dll) || dll.empty())
            return Fail(failure, Kind::kOutsideImage, "bad imported DLL name");
        if (address_table == 0)
            return Fail(failure, Kind::kNotPeFile, "import of " + dll + " has no address table");
        // Without a separate lookup table, the address table holds the names itself.
        if (lookup_table == 0)
            lookup_table = address_table;
        if (!BindOneDll(image, dll, lookup_table, address_table, resolve, failure))
            return false;
    }
}

}  // namespace qel
