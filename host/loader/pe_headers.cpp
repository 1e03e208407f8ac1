#include "host/loader/pe_headers.h"

#include "host/base/byte_reader.h"

namespace qel {
namespace {

constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kOptionalMagicPe32 = 0x010B;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kDllImage = 0x2000;
constexpr uint16_t kMaximumSections = 96;

using Kind = LoadFailureKind;

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

bool ReadDirectories(const ByteReader& file, uint32_t first, uint32_t count, PeHeaders* headers,
                     LoadFailure* failure) {
    DataDirectory* wanted[] = {&headers->exports, &headers->imports, &headers->resources,
                               nullptr,           nullptr,           &headers->relocations};
    for (uint32_t index = 0; index < count && index < 6; ++index) {
        if (wanted[index] == nullptr)
            continue;
        const uint32_t at = first + index * pe::kDirectoryEntrySize;
        DataDirectory directory;
        if (!file.Read32(at, &directory.rva) || !file.Read32(at + 4, &directory.size))
            return Fail(failure, Kind::kTruncated, "truncated data directory");
        const uint64_t end = uint64_t{directory.rva} + directory.size;
        if (directory.present() && (directory.size == 0 || end > headers->size_of_image)) {
            static const char* const kNames[] = {"export", "import", "resource",
                                                 "",       "",       "base relocation"};
            return Fail(failure, Kind::kOutsideImage,
                        BoundedText(kNames[index]) + " directory lies outside the image");
        }
        *wanted[index] = directory;
    }
    return true;
}

bool ReadSections(const ByteReader& file, uint32_t first, uint16_t count, PeHeaders* headers,
                  LoadFailure* failure) {
    if (count == 0)
        return Fail(failure, Kind::kNotPeFile, "image has no sections");
    if (count > kMaximumSections)
        return Fail(failure, Kind::kUnsupported, "too many sections");
    if (!file.Contains(first, uint64_t{count} * pe::kSectionHeaderSize))
        return Fail(failure, Kind::kTruncated, "truncated section table");
    for (uint16_t index = 0; index < count; ++index) {
        const uint32_t at = first + index * pe::kSectionHeaderSize;
        Section section;
        const uint8_t* name = file.At(at + pe::kSectionName);
        for (uint32_t i = 0; i < pe::kSectionNameSize && name[i] != 0; ++i)
            section.name[i] = static_cast<char>(name[i]);
        file.Read32(at + pe::kSectionVirtualSize, &section.virtual_size);
        file.Read32(at + pe::kSectionVirtualAddress, &section.virtual_address);
        file.Read32(at + pe::kSectionRawSize, &section.raw_size);
        file.Read32(at + pe::kSectionRawOffset, &section.raw_offset);
        file.Read32(at + pe::kSectionCharacteristics, &section.characteristics);
        const uint32_t mapped_size = section.mapped_size();
        const BoundedText label =
            "section " + Decimal(index + 1u) + " ('" + std::string_view(section.name) + "')";
        if (uint64_t{section.virtual_address} + mapped_size > headers->size_of_image)
            return Fail(failure, Kind::kOutsideImage, label + " lies outside the image");
        if (section.virtual_address < headers->size_of_headers && mapped_size != 0)
            return Fail(failure, Kind::kOutsideImage, label + " overlaps the headers");
        if (section.raw_size != 0 && !file.Contains(section.raw_offset, section.raw_size)) {
            return Fail(failure, Kind::kTruncated, label + " data lies beyond the end of the file");
        }
        headers->sections.push_back(section);
    }
    return true;
}

}  // namespace

bool ParsePeHeaders(std::span<const uint8_t> bytes, PeHeaders* headers, LoadFailure* failure) {
    const ByteReader file(bytes);
    *headers = PeHeaders{};
    uint16_t dos_signature = 0;
    uint32_t pe_offset = 0;
    if (!file.Read16(pe::kDosMagic, &dos_signature) ||
        !file.Read32(pe::kDosPeHeaderOffset, &pe_offset)) {
        return Fail(failure, Kind::kTruncated, "file too short for a DOS header");
    }
    if (dos_signature != kDosSignature)
        return Fail(failure, Kind::kNotPeFile, "not a DOS/PE file (no MZ signature)");
    uint32_t signature = 0;
    if (!file.Read32(pe_offset, &signature))
        return Fail(failure, Kind::kTruncated, "PE header offset beyond the file");
    if (signature != kPeSignature)
        return Fail(failure, Kind::kNotPeFile, "no PE signature");

    const uint32_t file_header = pe_offset + pe::kPeSignatureSize;
    uint16_t machine = 0, section_count = 0, optional_size = 0;
    if (!file.Read16(file_header + pe::kFileMachine, &machine) ||
        !file.Read16(file_header + pe::kFileSectionCount, &section_count) ||
        !file.Read16(file_header + pe::kFileOptionalHeaderSize, &optional_size) ||
        !file.Read16(file_header + pe::kFileCharacteristics, &headers->file_characteristics)) {
        return Fail(failure, Kind::kTruncated, "truncated file header");
    }
    if (machine != kMachineI386) {
        return Fail(failure, Kind::kUnsupported,
                    "not an i386 image (machine " + Decimal(machine) + ")");
    }
    if ((headers->file_characteristics & kExecutableImage) == 0)
        return Fail(failure, Kind::kUnsupported, "not an executable image");
    if ((headers->file_characteristics & kDllImage) == 0)
        return Fail(failure, Kind::kUnsupported, "not a DLL");

    const uint32_t optional = file_header + pe::kFileHeaderSize;
    uint16_t optional_magic = 0;
    if (!file.Read16(optional + pe::kOptionalMagic, &optional_magic))
        return Fail(failure, Kind::kTruncated, "truncated optional header");
    if (optional_magic != kOptionalMagicPe32)
        return Fail(failure, Kind::kUnsupported, "not a PE32 image");
    if (optional_size < pe::kOptionalDirectories || !file.Contains(optional, optional_size))
        return Fail(failure, Kind::kTruncated, "truncated optional header");
    uint32_t file_alignment = 0, directory_count = 0;
    file.Read32(optional + pe::kOptionalEntryPoint, &headers->entry_point);
    file.Read32(optional + pe::kOptionalImageBase, &headers->image_base);
    file.Read32(optional + pe::kOptionalSectionAlignment, &headers->section_alignment);
    file.Read32(optional + pe::kOptionalFileAlignment, &file_alignment);
    file.Read32(optional + pe::kOptionalSizeOfImage, &headers->size_of_image);
    file.Read32(optional + pe::kOptionalSizeOfHeaders, &headers->size_of_headers);
    file.Read32(optional + pe::kOptionalDirectoryCount, &directory_count);

    if (!IsPowerOfTwo(headers->section_alignment) || !IsPowerOfTwo(file_alignment) ||
        file_alignment > headers->section_alignment) {
        return Fail(failure, Kind::kNotPeFile, "bad section or file alignment");
    }
    if (headers->size_of_image == 0 || headers->size_of_image > kMaximumImageSize) {
        return Fail(failure, Kind::kNotPeFile,
                    "bad SizeOfImage " + Decimal(headers->size_of_image));
    }
    if (section_count == 0)
        return Fail(failure, Kind::kNotPeFile, "image has no sections");
    if (section_count > kMaximumSections)
        return Fail(failure, Kind::kUnsupported, "too many sections");
    const uint32_t section_table = optional + optional_size;
    const uint64_t headers_end =
        uint64_t{section_table} + uint64_t{section_count} * pe::kSectionHeaderSize;
    if (headers->size_of_headers < headers_end ||
        headers->size_of_headers > headers->size_of_image ||
        !file.Contains(0, headers->size_of_headers)) {
        return Fail(failure, Kind::kNotPeFile,
                    "bad SizeOfHeaders " + Decimal(headers->size_of_headers));
    }
    if ((headers->image_base & 0xFFFF) != 0)
        return Fail(failure, Kind::kNotPeFile, "ImageBase not 64 KB aligned");
    if (uint64_t{pe::kOptionalDirectories} + uint64_t{directory_count} * pe::kDirectoryEntrySize >
        optional_size) {
        return Fail(failure, Kind::kTruncated, "data directories overrun the optional header");
    }
    if (headers->entry_point >= headers->size_of_image)
        return Fail(failure, Kind::kOutsideImage, "entry point lies outside the image");
    if (!ReadDirectories(file, optional + pe::kOptionalDirectories, directory_count, headers,
                         failure)) {
        return false;
    }
    return ReadSections(file, section_table, section_count, headers, failure);
}

}  // namespace qel
