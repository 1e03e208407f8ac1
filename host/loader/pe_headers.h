// The headers of a PE32 i386 image, read from the file and checked against it.
#pragma once
#include <stdint.h>

#include <span>
#include <vector>

#include "host/loader/load_failure.h"
#include "host/loader/pe_layout.h"

namespace qel {

struct DataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
    bool present() const { return rva != 0 || size != 0; }
};

struct Section {
    char name[9] = {};  // up to eight characters, NUL-terminated
    uint32_t virtual_address = 0;
    uint32_t virtual_size = 0;
    uint32_t raw_offset = 0;
    uint32_t raw_size = 0;
    uint32_t characteristics = 0;

    // What the section spans in memory: its virtual size, or where that is 0, its raw size.
    uint32_t mapped_size() const { return virtual_size != 0 ? virtual_size : raw_size; }
    bool holds_code() const {
        return (characteristics & (pe::kSectionContainsCode | pe::kSectionExecutable)) != 0;
    }
    bool writable() const { return (characteristics & pe::kSectionWritable) != 0; }
};

struct PeHeaders {
    uint16_t file_characteristics = 0;
    uint32_t entry_point = 0;  // RVA; 0 means no entry point
    uint32_t image_base = 0;
    uint32_t section_alignment = 0;
    uint32_t size_of_image = 0;
    uint32_t size_of_headers = 0;
    DataDirectory exports;
    DataDirectory imports;
    DataDirectory resources;
    DataDirectory relocations;
    std::vector<Section> sections;

    bool relocations_stripped() const { return (file_characteristics & 0x0001) != 0; }
    bool large_address_aware() const { return (file_characteristics & 0x0020) != 0; }
};

// The largest image the loader maps; a bigger SizeOfImage means a damaged header.
constexpr uint32_t kMaximumImageSize = 64u << 20;

// Reads and checks the DOS stub, the PE signature, the file and optional headers and the
// section table. False with *failure naming the problem when the file is not a loadable
// PE32 i386 DLL.
bool ParsePeHeaders(std::span<const uint8_t> file, PeHeaders* headers, LoadFailure* failure);

}  // namespace qel
