// Work on an image laid out in memory (section by section, at its RVAs): base relocations,
// import binding and export lookup. Each checks every RVA against the image and fails with
// a message naming the problem.
#pragma once
#include <stdint.h>

#include <functional>
#include <span>
#include <string_view>

#include "host/loader/pe_headers.h"

namespace qel {

// Adds `delta` to every 32-bit absolute address the relocation directory lists. Each must
// hold an address inside the image as linked at `linked_base`, and no two may overlap: a
// damaged directory would otherwise patch code or data at random.
bool ApplyRelocations(std::span<uint8_t> image, DataDirectory directory, uint32_t linked_base,
                      uint32_t delta, LoadFailure* failure);

// A standard-call function of the host that DLL code may call, and what it pops.
struct HostFunction {
    const void* address = nullptr;  // null: not provided
    uint32_t argument_bytes = 0;
};

// The host function for DLL!function, or one with a null address when the host does not
// provide it. The loader reaches each through a thunk of its own.
using ImportResolver = std::function<HostFunction(std::string_view dll, std::string_view function)>;

// Writes the address of each named import's thunk into its import address table slot.
bool BindImports(std::span<uint8_t> image, DataDirectory directory, const ImportResolver& resolve,
                 LoadFailure* failure);

// The RVA of the export named `name` (decorated, exactly as exported).
bool FindExport(std::span<const uint8_t> image, DataDirectory directory, std::string_view name,
                uint32_t* rva, LoadFailure* failure);

}  // namespace qel
