// The PE loader on arbitrary bytes, over a fake resolver instead of the Win32 emulation:
// headers read and checked, the image mapped, relocated, bound, protected, its exports and
// resources looked up, and unmapped again. Any input must end in a refusal of a known kind
// or a mapping, never in a fault.
#include <stddef.h>
#include <stdint.h>

#include <span>
#include <string_view>

#include "host/loader/mapped_image.h"
#include "host/loader/pe_headers.h"
#include "host/loader/resources.h"

namespace {

__attribute__((stdcall)) uint32_t FakeHostFunction(uint32_t value) {
    return value;
}

// Provides every function of a DLL whose name has an even length: some imports bind,
// others are missing.
qel::HostFunction FakeResolver(std::string_view dll, std::string_view) {
    if (dll.size() % 2 != 0)
        return {};
    return {reinterpret_cast<const void*>(&FakeHostFunction), 4};
}

constexpr uint32_t kStringResourceType = 6;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    qel::LoadFailure failure;
    qel::PeHeaders headers;
    const bool parsed = qel::ParsePeHeaders(file, &headers, &failure);
    if (!parsed && (failure.kind == qel::LoadFailureKind::kNone || failure.detail.empty()))
        __builtin_trap();  // a refusal must say what kind and why
    qel::MappedImage image;
    if (qel::MapImage(file, &FakeResolver, &image, &failure)) {
        if (!parsed)
            __builtin_trap();  // mapped what the header check refused
        uint32_t rva = 0;
        qel::FindExport(image.bytes(), image.headers.exports, "_QELExtender2@40", &rva, &failure);
        qel::FindResourceData(image.bytes(), image.headers.resources, kStringResourceType, 1);
        qel::UnmapImage(&image);
    } else if (failure.kind == qel::LoadFailureKind::kNone || failure.detail.empty()) {
        __builtin_trap();
    }
    return 0;
}
