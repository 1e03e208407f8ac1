#include "host/loader/byte_reader.h"
#include "host/loader/image_directories.h"

namespace qel {
namespace {

constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kMaximumNameLength = 255;

}  // namespace

bool FindExport(std::span<const uint8_t> image, DataDirectory directory, std::string_view name,
                uint32_t* rva, BoundedText* error) {
    const ByteReader reader(image);
    if (!directory.present()) {
        *error = "image has no export directory (missing export " + BoundedText(name) + ")";
        return false;
    }
    if (directory.size < kExportDirectorySize ||
        !reader.Contains(directory.rva, kExportDirectorySize)) {
        *error = "export directory too small";
        return false;
    }
    uint32_t function_count = 0, name_count = 0, functions = 0, names = 0, ordinals = 0;
    reader.Read32(directory.rva + 20, &function_count);
    reader.Read32(directory.rva + 24, &name_count);
    reader.Read32(directory.rva + 28, &functions);
    reader.Read32(directory.rva + 32, &names);
    reader.Read32(directory.rva + 36, &ordinals);
    if (!reader.Contains(functions, uint64_t{function_count} * 4) ||
        !reader.Contains(names, uint64_t{name_count} * 4) ||
        !reader.Contains(ordinals, uint64_t{name_count} * 2)) {
        *error = "export tables lie outside the image";
        return false;
    }
    for (uint32_t index = 0; index < name_count; ++index) {
        uint32_t name_rva = 0;
        reader.Read32(names + index * 4, &name_rva);
        BoundedText exported;
        if (!reader.ReadText(name_rva, kMaximumNameLength, &exported)) {
            *error = "bad export name entry";
            return false;
        }
        if (exported.view() != name)
            continue;
        uint16_t ordinal_index = 0;
        reader.Read16(ordinals + index * 2, &ordinal_index);
        if (ordinal_index >= function_count) {
            *error = "export " + BoundedText(name) + " has a bad ordinal";
            return false;
        }
        reader.Read32(functions + ordinal_index * 4u, rva);
        if (*rva >= directory.rva && *rva - directory.rva < directory.size) {
            *error = "export " + BoundedText(name) + " is forwarded to another DLL";
            return false;
        }
        if (*rva == 0 || *rva >= reader.size()) {
            *error = "export " + BoundedText(name) + " lies outside the image";
            return false;
        }
        return true;
    }
    *error = "missing export " + BoundedText(name);
    return false;
}

}  // namespace qel
