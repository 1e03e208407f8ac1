// A PE32 DLL mapped into this process: sections laid out, relocated, its imports bound to
// the host functions a resolver names, then each section protected as Windows protects it.
// Linux only.
#pragma once
#include <stdint.h>

#include <span>

#include "host/loader/image_directories.h"
#include "host/loader/pe_headers.h"
#include "host/loader/site_patching.h"

namespace qel {

struct MappedImage {
    uint8_t* base = nullptr;
    uint32_t size = 0;  // SizeOfImage
    PeHeaders headers;

    std::span<uint8_t> bytes() const { return {base, size}; }
    void* At(uint32_t rva) const { return base + rva; }
};

// Maps the file's image, binding each import to the host function `resolve` names; false
// with *failure naming the problem. Code is then readable and executable, read-only data
// readable, writable data writable, and nothing both writable and executable unless its
// section asks for it. The sites `serving` names get their traps after relocation and binding,
// before the protection. Does not call the entry point.
bool MapImage(std::span<const uint8_t> file, const ImportResolver& resolve, MappedImage* image,
              LoadFailure* failure, SiteServing serving = {});
void UnmapImage(MappedImage* image);

// True when `rva` lies inside a section that holds code.
bool IsCode(const PeHeaders& headers, uint32_t rva);

}  // namespace qel
