#include "host/loader/mapped_image.h"

#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "host/crossing/served_sites.h"
#include "host/loader/site_patching.h"

namespace qel {
namespace {

using Kind = LoadFailureKind;

uint32_t PageSize() {
    return static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
}

uint32_t PageRounded(uint32_t size) {
    const uint32_t page = PageSize();
    return (size + page - 1) / page * page;
}

// Memory for the image, writable while it is laid out: at its preferred base when that is
// free, else anywhere if the image can be relocated.
uint8_t* Reserve(const PeHeaders& headers, LoadFailure* failure) {
    const uint32_t length = PageRounded(headers.size_of_image);
    const int protection = PROT_READ | PROT_WRITE;
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

// Each page as Windows maps the image: the headers and whatever no section covers
// readable, a code section also executable, a writable section also writable. A page that
// two sections share (an alignment below the page size) gets what both need.
bool ProtectSections(const MappedImage& image, LoadFailure* failure) {
    const uint32_t page = PageSize();
    std::vector<int> protection(PageRounded(image.size) / page, PROT_READ);
    for (const Section& section : image.headers.sections) {
        const uint32_t size = section.mapped_size();
        if (size == 0)
            continue;
        const int wanted =
            (section.holds_code() ? PROT_EXEC : 0) | (section.writable() ? PROT_WRITE : 0);
        const uint32_t last = (section.virtual_address + size - 1) / page;
        for (uint32_t index = section.virtual_address / page; index <= last; ++index)
            protection[index] |= wanted;
    }
    for (size_t first = 0; first < protection.size();) {
        size_t end = first + 1;
        while (end < protection.size() && protection[end] == protection[first])
            ++end;
        if (mprotect(image.base + first * page, (end - first) * page, protection[first]) != 0)
            return Fail(failure, Kind::kInputOutput, "cannot protect the image's sections");
        first = end;
    }
    return true;
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
              LoadFailure* failure, SiteServing serving) {
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
    const bool ok =
        (address == headers.image_base ||
         ApplyRelocations(image->bytes(), headers.relocations, headers.image_base,
                          address - headers.image_base, failure)) &&
        (!headers.imports.present() ||
         BindImports(image->bytes(), headers.imports, resolve, failure)) &&
        (!serving.any() || PatchServedSites(image->base, headers.sections, serving, failure)) &&
        ProtectSections(*image, failure);
    if (!ok)
        UnmapImage(image);
    return ok;
}

void UnmapImage(MappedImage* image) {
    if (image->base != nullptr) {
        ForgetServedSites(reinterpret_cast<uintptr_t>(image->base), image->size);
        munmap(image->base, PageRounded(image->size));
    }
    image->base = nullptr;
}

}  // namespace qel
