// ExtenderDll::Load on Linux: the host's own loader maps the image, binding its imports to
// the Win32 emulation, gives it the traps of the virtual processor the emulation's settings
// name (none by default), filters the process's system calls where --sandbox asks, and calls
// its DllMain.
#include "host/extender/extender.h"
#include "host/linux/system_call_filter.h"
#include "host/protocol/extender_module.h"
#include "host/win32/virtual_processor.h"
#include "host/win32/win32_api.h"

namespace qel {

struct ExtenderDll::Mapping {
    LoadedModule module;
};

std::unique_ptr<ExtenderDll> ExtenderDll::Load(const std::string& path, std::string* error,
                                               LoadFailureKind* kind) {
    auto mapping = std::make_unique<Mapping>();
    LoadFailure failure;
    if (!LoadExtenderModule(path.c_str(), &win32::FindHostFunction, &mapping->module, &failure,
                            win32::ServingOf(emulation()), &InstallFilterBeforeDllEntry)) {
        *error = std::string(failure.detail.view());
        if (kind != nullptr)
            *kind = failure.kind;
        return nullptr;
    }
    std::unique_ptr<ExtenderDll> dll(new ExtenderDll());
    dll->module_handle_ = mapping->module.dll.handle;
    dll->entries_ = mapping->module.entries;
    dll->mapping_ = mapping.release();
    return dll;
}

ExtenderDll::~ExtenderDll() {
    if (mapping_ == nullptr)
        return;
    UnloadExtenderModule(&mapping_->module);
    delete mapping_;
}

}  // namespace qel
