// The PE loader on arbitrary bytes: headers read and checked, the image mapped, relocated,
// bound to the Win32 emulation and unmapped again. Any input must end in a refusal or a
// mapping, never in a fault.
#include <stddef.h>
#include <stdint.h>

#include <span>

#include "host/loader/bounded_text.h"
#include "host/loader/mapped_image.h"
#include "host/loader/pe_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    qel::BoundedText error;
    qel::PeHeaders headers;
    const bool parsed = qel::ParsePeHeaders(file, &headers, &error);
    qel::MappedImage image;
    if (qel::MapImage(file, &image, &error)) {
        if (!parsed)
            __builtin_trap();  // mapped what the header check refused
        qel::UnmapImage(&image);
    }
    return 0;
}
