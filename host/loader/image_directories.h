// Work on an image laid out in memory (section by section, at its RVAs): base relocations,
// import binding and export lookup. Each checks every RVA against the image and fails with
// a message naming the problem.
#pragma once
#include <stdint.h>

#include <functional>
#include <span>
#include <string>

#include "host/loader/pe_headers.h"

namespace qel {

// Adds `delta` to every 32-bit absolute address the relocation directory lists.
bool ApplyRelocations(std::span<uint8_t> image, DataDirectory directory, uint32_t delta,
                      std::string* error);

// The address of a host function for DLL!function, or 0 when the host does not provide it.
using ImportResolver = std::function<uint32_t(const std::string& dll, const std::string& function)>;

// Writes the resolved address of every named import into its import address table slot.
bool BindImports(std::span<uint8_t> image, DataDirectory directory, const ImportResolver& resolve,
                 std::string* error);

// The RVA of the export named `name` (decorated, exactly as exported).
bool FindExport(std::span<const uint8_t> image, DataDirectory directory, const std::string& name,
                uint32_t* rva, std::string* error);

}  // namespace qel
