#include "host/base/byte_reader.h"
#include "host/loader/image_directories.h"

namespace qel {
namespace {

constexpr uint32_t kMaximumNameLength = 255;

using Kind = LoadFailureKind;

}  // namespace

bool FindExport(std::span<const uint8_t> image, DataDirectory directory, std::string_view name,
                uint32_t* rva, LoadFailure* failure) {
    const ByteReader reader(image);
    if (!directory.present()) {
        return Fail(failure, Kind::kMissingExport,
                    "image has no export directory (missing export " + BoundedText(name) + ")");
    }
    if (directory.size < pe::kExportDirectorySize ||
        !reader.Contains(directory.rva, pe::kExportDirectorySize)) {
        return Fail(failure, Kind::kTruncated, "export directory too small");
    }
    uint32_t function_count = 0, name_count = 0, functions = 0, names = 0, ordinals = 0;
    reader.Read32(directory.rva + pe::kExportFunctionCount, &function_count);
    reader.Read32(directory.rva + pe::kExportNameCount, &name_count);
    reader.Read32(directory.rva + pe::kExportFunctions, &functions);
    reader.Read32(directory.rva + pe::kExportNames, &names);
    reader.Read32(directory.rva + pe::kExportOrdinals, &ordinals);
    if (!reader.Contains(functions, uint64_t{function_count} * 4) ||
        !reader.Contains(names, uint64_t{name_count} * 4) ||
        !reader.Contains(ordinals, uint64_t{name_count} * 2)) {
        return Fail(failure, Kind::kOutsideImage, "export tables lie outside the image");
    }
    for (uint32_t index = 0; index < name_count; ++index) {
        uint32_t name_rva = 0;
        reader.Read32(names + index * 4, &name_rva);
        BoundedText exported;
        if (!reader.ReadText(name_rva, kMaximumNameLength, &exported))
            return Fail(failure, Kind::kOutsideImage, "bad export name entry");
        if (exported.view() != name)
            continue;
        uint16_t ordinal_index = 0;
        reader.Read16(ordinals + index * 2, &ordinal_index);
        if (ordinal_index >= function_count) {
            return Fail(failure, Kind::kOutsideImage,
                        "export " + BoundedText(name) + " has a bad ordinal");
        }
        reader.Read32(functions + ordinal_index * 4u, rva);
        if (*rva >= directory.rva && *rva - directory.rva < directory.size) {
            return Fail(failure, Kind::kUnsupported,
                        "export " + BoundedText(name) + " is forwarded to another DLL");
        }
        if (*rva == 0 || *rva >= reader.size()) {
            return Fail(failure, Kind::kOutsideImage,
                        "export " + BoundedText(name) + " lies outside the image");
        }
        return true;
    }
    return Fail(failure, Kind::kMissingExport, "missing export " + BoundedText(name));
}

}  // namespace qel
