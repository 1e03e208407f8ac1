// Loading an extender DLL into this process with the host's own loader: the DLL loaded with
// its imports bound through the resolver the caller wires in, its two exports found, what
// the host hands it placed against guard pages, its DllMain called. Builds both with glibc
// and in the freestanding runner. Linux only.
#pragma once
#include "host/loader/dll_loading.h"
#include "host/protocol/extender_protocol.h"

namespace qel {

struct LoadedModule {
    LoadedDll dll;
    ExtenderEntries entries;
};

// Runs once the image is mapped and before its entry point: what the host does to the
// process before any DLL code runs (confining it). False with *failure refuses the load.
using BeforeDllEntry = bool (*)(LoadFailure* failure);

// False with *failure naming the problem when the file cannot be loaded.
// `serving`: the CPUID and RDTSC sites a virtual processor answers (none by default).
bool LoadExtenderModule(const char* path, const ImportResolver& resolve, LoadedModule* module,
                        LoadFailure* failure, SiteServing serving = {},
                        BeforeDllEntry before_entry = nullptr);
// Calls DllMain to detach (guarded) and unmaps the image.
void UnloadExtenderModule(LoadedModule* module);

}  // namespace qel
