// ExtenderDll::Load on Windows: the system loader does the work; the virtual processor then
// puts its traps into the module.
#include <windows.h>

#include "host/extender/extender.h"
#include "host/windows/virtual_processor.h"

namespace qel {

struct ExtenderDll::Mapping {
    HMODULE module;
};

namespace {

// The system's text for error `code`, with the DLL's path in place of its inserts ("Bad EXE
// format for %1.").
std::string LastErrorText(DWORD code, const std::string& path) {
    char text[512] = {};
    const DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(path.c_str()),
                                 reinterpret_cast<DWORD_PTR>(path.c_str()),
                                 reinterpret_cast<DWORD_PTR>(path.c_str())};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, code, 0,
                   text, sizeof text, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message + " (error " + std::to_string(code) + ")";
}

// The kind of a failure LoadLibrary reports as `code`.
LoadFailureKind KindOf(DWORD code) {
    switch (code) {
        case ERROR_BAD_EXE_FORMAT:
            return LoadFailureKind::kNotPeFile;
        case ERROR_MOD_NOT_FOUND:
        case ERROR_PROC_NOT_FOUND:
            return LoadFailureKind::kMissingImport;
        case ERROR_DLL_INIT_FAILED:
            return LoadFailureKind::kEntryRefused;
        default:
            return LoadFailureKind::kInputOutput;
    }
}

}  // namespace

std::unique_ptr<ExtenderDll> ExtenderDll::Load(const std::string& path, std::string* error,
                                               LoadFailureKind* kind) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        const DWORD code = GetLastError();
        *error = LastErrorText(code, path);
        if (kind != nullptr)
            *kind = KindOf(code);
        return nullptr;
    }
    FARPROC dispatch = GetProcAddress(module, kDispatchName);
    FARPROC query = GetProcAddress(module, kQueryName);
    if (dispatch == nullptr || query == nullptr) {
        *error =
            std::string("missing export ") + (dispatch == nullptr ? kDispatchName : kQueryName);
        if (kind != nullptr)
            *kind = LoadFailureKind::kMissingExport;
        FreeLibrary(module);
        return nullptr;
    }
    LoadFailure failure;
    if (!ServeModule(module, &failure)) {
        *error = std::string(failure.detail.view());
        if (kind != nullptr)
            *kind = failure.kind;
        FreeLibrary(module);
        return nullptr;
    }
    std::unique_ptr<ExtenderDll> dll(new ExtenderDll());
    dll->mapping_ = new Mapping{module};
    dll->module_handle_ = module;
    dll->entries_.dispatch = reinterpret_cast<DispatchEntry>(reinterpret_cast<void*>(dispatch));
    dll->entries_.query = reinterpret_cast<QueryEntry>(reinterpret_cast<void*>(query));
    return dll;
}

ExtenderDll::~ExtenderDll() {
    if (mapping_ == nullptr)
        return;
    ForgetModule(mapping_->module);
    FreeLibrary(mapping_->module);
    delete mapping_;
}

}  // namespace qel
