// ExtenderDll::Load on Linux: the host's own loader maps the image and calls its DllMain.
#include "host/loader/extender_dll.h"
#include "host/loader/module_loader.h"

namespace qel {

struct ExtenderDll::Mapping {
    LoadedModule module;
};

std::unique_ptr<ExtenderDll> ExtenderDll::Load(const std::string& path, std::string* error) {
    auto mapping = std::make_unique<Mapping>();
    BoundedText failure;
    if (!LoadExtenderModule(path.c_str(), &mapping->module, &failure)) {
        *error = std::string(failure.view());
        return nullptr;
    }
    std::unique_ptr<ExtenderDll> dll(new ExtenderDll());
    dll->module_handle_ = mapping->module.handle;
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
