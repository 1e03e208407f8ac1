// Loading a DLL into this process with the host's own loader, as Windows' loader does it:
// the file read and mapped, the module made known under its handle, its DllMain called.
// Builds both with glibc and in the freestanding runner. Linux only.
#pragma once
#include <stdint.h>

#include <optional>
#include <span>

#include "host/loader/mapped_image.h"

namespace qel {

struct LoadedDll {
    MappedImage image;
    void* handle = nullptr;  // a module's handle is its base address
};

// Reads the file at `path` and maps it (MapImage, imports through `resolve`), then makes it
// known: to the guard, which names a fault inside it by its RVA, and to FindModuleResource
// under its handle. Does not call DllMain. False with *failure when it cannot.
bool LoadDll(const char* path, const ImportResolver& resolve, LoadedDll* dll, LoadFailure* failure,
             SiteServing serving = {});

// The RVA of export `name`, which must point into code.
bool FindCodeExport(const MappedImage& image, const char* name, uint32_t* rva,
                    LoadFailure* failure);

// Calls DllMain to attach, guarded; false with *failure when it refuses or faults.
bool AttachDll(const LoadedDll& dll, LoadFailure* failure);

// Calls DllMain to detach where `detach` (guarded: a DLL that faults or stalls on the way out
// is unloaded all the same), then forgets the module and unmaps it.
void UnloadDll(LoadedDll* dll, bool detach);

// The data of the resource of numeric `type` and `id` of the loaded module `handle`
// (FindResourceData); nullopt for a handle of no loaded module.
std::optional<std::span<const uint8_t>> FindModuleResource(void* handle, uint32_t type,
                                                           uint32_t id);

}  // namespace qel
