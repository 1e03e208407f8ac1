#include "host/loader/mapped_image.h"

#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

namespace qel {
namespace {

using Kind = LoadFailureKind;

uint32_t PageRounded(uint32_t size) {
    const uint32_t page = static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}

// Memory for the image: at its preferred base when that is free, else anywhere if the image
// can be relocated.
uint8_t* Reserve(const PeHeaders& headers, LoadFailure* failure) {
    const uint32_t length = PageRounded(headers.size_of_image);
    const int protection = PROT_READ | PROT_WRITE | PROT_EXEC;
    void* wanted = reinterpret_cast<void*>(uintptr_t{headers.image_base});
    void* got = mmap(wanted, length, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (got == wanted)
        return static_cast<uint8_t*>(got);
    if (got != MAP_FAILED)
        munmap(got, length);
    if (headers.relocations_stripped() || !headers.relocations.present()) {
        Fail(failure, Kind::kUnsupported, "image has no relocations and its base address is taken");
        return nullptr;
    }
    got = mmap(nullptr, length, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (got == MAP_FAILED) {
        Fail(failure, Kind::kInputOutput, "cannot reserve memory for the image");
        return nullptr;
    }
    return static_cast<uint8_t*>(got);
}

}  // namespace

bool IsCode(const PeHeaders& headers, uint32_t rva) {
    for (const Section& section : headers.sections) {
        if (rva >= section.virtual_address &&
            rva - section.virtual_address < section.mapped_size() && section.holds_code()) {
            return true;
        }
    }
    return false;
}

bool MapImage(std::span<const uint8_t> file, const ImportResolver& resolve, MappedImage* image,
              LoadFailure* failure) {
    *image = MappedImage{};
    if (!ParsePeHeaders(file, &image->headers, failure))
        return false;
    const PeHeaders& headers = image->headers;
    if (headers.entry_point != 0 && !IsCode(headers, headers.entry_point))
        return Fail(failure, Kind::kOutsideImage, "entry point lies outside the code");
    image->base = Reserve(headers, failure);
    if (image->base == nullptr)
        return false;
    image->size = headers.size_of_image;

    // Anonymous memory is zero already: the part of each section beyond its file data stays 0.
    memcpy(image->base, file.data(), headers.size_of_headers);
    for (const Section& section : headers.sections) {
        const uint32_t mapped = section.mapped_size();
        const uint32_t copied = section.raw_size < mapped ? section.raw_size : mapped;
        // The header check bounds raw_offset only where there is file data to copy.
        if (copied != 0)
            memcpy(image->base + section.virtual_address, file.data() + section.raw_offset, copied);
    }

    const uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image->base));
    const bool ok = (address == headers.image_base ||
                     ApplyRelocations(image->bytes(), headers.relocations, headers.image_base,
                                      address - headers.image_base, failure)) &&
                    (!headers.imports.present() ||
                     BindImports(image->bytes(), headers.imports, resolve, failure));
    if (!ok)
        UnmapImage(image);
    return ok;
}

void UnmapImage(MappedImage* image) {
    if (image->base != nullptr)
        munmap(image->base, PageRounded(image->size));
    image->base = nullptr;
}

}  // namespace qel
