// MEMORYSTATUS as GlobalMemoryStatus fills it: the library reads it, the host's Win32
// emulation writes it. Dependency-free.
#pragma once
#include <stdint.h>

namespace qel_abi {

// Eight 32-bit fields, 32 bytes.
struct MemoryStatus {
    uint32_t length;
    uint32_t memory_load;
    uint32_t total_phys;
    uint32_t avail_phys;
    uint32_t total_page_file;
    uint32_t avail_page_file;
    uint32_t total_virtual;
    uint32_t avail_virtual;
};
static_assert(sizeof(MemoryStatus) == 32);

}  // namespace qel_abi
