// LoadStringA over the RT_STRING resources of the modules the host has loaded.
#include "host/base/byte_reader.h"
#include "host/loader/dll_loading.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

constexpr uint32_t kStringResourceType = 6;

// UTF-16 to the ANSI code page: Latin-1 maps through, everything else becomes '?'.
char ToAnsi(uint16_t unit) {
    return unit < 0x100 ? static_cast<char>(unit) : '?';
}

}  // namespace

QEL_WINAPI int32_t LoadStringA(void* module, uint32_t id, char* buffer, int32_t size) {
    if (size == 0)
        return -1;
    if (buffer == nullptr || size < 0)
        return 0;
    buffer[0] = 0;
    id &= 0xFFFF;  // string ids are 16-bit; the high word is ignored
    // Strings come in blocks of sixteen counted UTF-16 strings, block n holding 16n - 16
    // to 16n - 1.
    const auto block = FindModuleResource(module, kStringResourceType, (id >> 4) + 1);
    if (!block)
        return 0;
    const ByteReader strings(*block);
    uint32_t offset = 0;
    for (uint32_t slot = 0; slot < (id & 15); ++slot) {  // skip the strings before ours
        uint16_t length = 0;
        if (!strings.Read16(offset, &length))
            return 0;
        offset += 2 + 2u * length;
    }
    uint16_t length = 0;
    if (!strings.Read16(offset, &length) || !strings.Contains(offset + 2, 2u * length))
        return 0;
    int32_t copied = 0;
    while (copied < length && copied < size - 1) {
        uint16_t unit = 0;
        strings.Read16(offset + 2 + 2 * copied, &unit);
        buffer[copied++] = ToAnsi(unit);
    }
    buffer[copied] = 0;
    return copied;
}

}  // namespace qel::win32
