#include "host/loader/pe_headers.h"

#include "host/loader/byte_reader.h"

namespace qel {
namespace {

constexpr uint16_t kDosMagic = 0x5A4D;         // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kOptionalMagicPe32 = 0x010B;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kDllImage = 0x2000;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kOptionalHeaderFixedSize = 96;  // up to NumberOfRvaAndSizes
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kMaximumSections = 96;

bool Fail(BoundedText* error, const BoundedText& message) {
    *error = message;
    return false;
}

bool IsPowerOfTwo(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

bool ReadDirectories(const ByteReader& file, uint32_t first, uint32_t count, PeHeaders* headers,
                     BoundedText* error) {
    DataDirectory* wanted[] = {&headers->exports, &headers->imports, &headers->resources,
                               nullptr,           nullptr,           &headers->relocations};
    for (uint32_t index = 0; index < count && index < 6; ++index) {
        if (wanted[index] == nullptr)
            continue;
        DataDirectory directory;
        if (!file.Read32(first + index * 8, &directory.rva) ||
            !file.Read32(first + index * 8 + 4, &directory.size)) {
            return Fail(error, "truncated data directory");
        }
        const uint64_t end = uint64_t{directory.rva} + directory.size;
        if (directory.present() && (directory.size == 0 || end > headers->size_of_image)) {
            static const char* const kNames[] = {"export", "import", "resource",
                                                 "",       "",       "base relocation"};
            return Fail(error, BoundedText(kNames[index]) + " directory lies outside the image");
        }
        *wanted[index] = directory;
    }
    return true;
}

bool ReadSections(const ByteReader& file, uint32_t first, uint16_t count, PeHeaders* headers,
                  BoundedText* error) {
    if (count == 0)
        return Fail(error, "image has no sections");
    if (count > kMaximumSections)
        return Fail(error, "too many sections");
    if (!file.Contains(first, uint64_t{count} * kSectionHeaderSize)) {
        return Fail(error, "truncated section table");
    }
    for (uint16_t index = 0; index < count; ++index) {
        const uint32_t at = first + index * kSectionHeaderSize;
        Section section;
        for (uint32_t i = 0; i < 8 && file.At(at)[i] != 0; ++i) {
            section.name[i] = static_cast<char>(file.At(at)[i]);
        }
        file.Read32(at + 8, &section.virtual_size);
        file.Read32(at + 12, &section.virtual_address);
        file.Read32(at + 16, &section.raw_size);
        file.Read32(at + 20, &section.raw_offset);
        file.Read32(at + 36, &section.characteristics);
        const uint32_t mapped_size =
            section.virtual_size != 0 ? section.virtual_size : section.raw_size;
        const BoundedText label =
            "section " + Decimal(index + 1u) + " ('" + std::string_view(section.name) + "')";
        if (uint64_t{section.virtual_address} + mapped_size > headers->size_of_image) {
            return Fail(error, label + " lies outside the image");
        }
        if (section.virtual_address < headers->size_of_headers && mapped_size != 0) {
            return Fail(error, label + " overlaps the headers");
        }
        if (section.raw_size != 0 && !file.Contains(section.raw_offset, section.raw_size)) {
            return Fail(error, label + " data lies beyond the end of the file");
        }
        headers->sections.push_back(section);
    }
    return true;
}

}  // namespace

bool ParsePeHeaders(std::span<const uint8_t> bytes, PeHeaders* headers, BoundedText* error) {
    const ByteReader file(bytes);
    *headers = PeHeaders{};
    uint16_t dos_magic = 0;
    uint32_t pe_offset = 0;
    if (!file.Read16(0, &dos_magic) || !file.Read32(0x3C, &pe_offset)) {
        return Fail(error, "file too short for a DOS header");
    }
    if (dos_magic != kDosMagic)
        return Fail(error, "not a DOS/PE file (no MZ signature)");
    uint32_t signature = 0;
    if (!file.Read32(pe_offset, &signature))
        return Fail(error, "PE header offset beyond the file");
    if (signature != kPeSignature)
        return Fail(error, "no PE signature");

    const uint32_t file_header = pe_offset + 4;
    uint16_t machine = 0, section_count = 0, optional_size = 0;
    if (!file.Read16(file_header, &machine) || !file.Read16(file_header + 2, &section_count) ||
        !file.Read16(file_header + 16, &optional_size) ||
        !file.Read16(file_header + 18, &headers->file_characteristics)) {
        return Fail(error, "truncated file header");
    }
    if (machine != kMachineI386)
        return Fail(error, "not an i386 image (machine " + Decimal(machine) + ")");
    if ((headers->file_characteristics & kExecutableImage) == 0) {
        return Fail(error, "not an executable image");
    }
    if ((headers->file_characteristics & kDllImage) == 0)
        return Fail(error, "not a DLL");

    const uint32_t optional = file_header + kFileHeaderSize;
    uint16_t optional_magic = 0;
    if (!file.Read16(optional, &optional_magic))
        return Fail(error, "truncated optional header");
    if (optional_magic != kOptionalMagicPe32)
        return Fail(error, "not a PE32 image");
    if (optional_size < kOptionalHeaderFixedSize || !file.Contains(optional, optional_size)) {
        return Fail(error, "truncated optional header");
    }
    uint32_t file_alignment = 0, directory_count = 0;
    file.Read32(optional + 16, &headers->entry_point);
    file.Read32(optional + 28, &headers->image_base);
    file.Read32(optional + 32, &headers->section_alignment);
    file.Read32(optional + 36, &file_alignment);
    file.Read32(optional + 56, &headers->size_of_image);
    file.Read32(optional + 60, &headers->size_of_headers);
    file.Read32(optional + 92, &directory_count);

    if (!IsPowerOfTwo(headers->section_alignment) || !IsPowerOfTwo(file_alignment) ||
        file_alignment > headers->section_alignment) {
        return Fail(error, "bad section or file alignment");
    }
    if (headers->size_of_image == 0 || headers->size_of_image > kMaximumImageSize) {
        return Fail(error, "bad SizeOfImage " + Decimal(headers->size_of_image));
    }
    if (section_count == 0)
        return Fail(error, "image has no sections");
    if (section_count > kMaximumSections)
        return Fail(error, "too many sections");
    const uint32_t section_table = optional + optional_size;
    const uint64_t headers_end =
        uint64_t{section_table} + uint64_t{section_count} * kSectionHeaderSize;
    if (headers->size_of_headers < headers_end ||
        headers->size_of_headers > headers->size_of_image ||
        !file.Contains(0, headers->size_of_headers)) {
        return Fail(error, "bad SizeOfHeaders " + Decimal(headers->size_of_headers));
    }
    if ((headers->image_base & 0xFFFF) != 0)
        return Fail(error, "ImageBase not 64 KB aligned");
    if (uint64_t{kOptionalHeaderFixedSize} + uint64_t{directory_count} * 8 > optional_size) {
        return Fail(error, "data directories overrun the optional header");
    }
    if (headers->entry_point >= headers->size_of_image) {
        return Fail(error, "entry point lies outside the image");
    }
    if (!ReadDirectories(file, optional + kOptionalHeaderFixedSize, directory_count, headers,
                         error)) {
        return false;
    }
    return ReadSections(file, section_table, section_count, headers, error);
}

}  // namespace qel
