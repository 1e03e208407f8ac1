// Loading an extender DLL into this process with the host's own loader: the file read and
// mapped, its string resources registered for LoadStringA, its DllMain called, its two
// exports found. Builds both with glibc and in the freestanding runner.
#pragma once
#include "host/loader/bounded_text.h"
#include "host/loader/mapped_image.h"
#include "host/protocol/extender_protocol.h"

namespace qel {

struct LoadedModule {
    MappedImage image;
    void* handle = nullptr;  // a module's handle is its base address
    ExtenderEntries entries;
};

// False with *error naming the problem when the file cannot be loaded.
bool LoadExtenderModule(const char* path, LoadedModule* module, BoundedText* error);
// Calls DllMain to detach (guarded) and unmaps the image.
void UnloadExtenderModule(LoadedModule* module);

}  // namespace qel
