#include "host/protocol/extender_module.h"

#include "host/crossing/dll_entry_call.h"
#include "host/crossing/guard_pages.h"

namespace qel {

bool LoadExtenderModule(const char* path, const ImportResolver& resolve, LoadedModule* module,
                        LoadFailure* failure, SiteServing serving, BeforeDllEntry before_entry) {
    *module = LoadedModule{};
    // The callback's thunk first: an image that imports more than the other thunks hold is
    // refused, not left without a way to answer.
    CallbackThunk();
    LoadedDll& dll = module->dll;
    if (!LoadDll(path, resolve, &dll, failure, serving))
        return false;
    uint32_t dispatch = 0, query = 0;
    if (!FindCodeExport(dll.image, kDispatchName, &dispatch, failure) ||
        !FindCodeExport(dll.image, kQueryName, &query, failure)) {
        UnloadDll(&dll, false);
        return false;
    }
    SetRecordPlacer(&PlaceAgainstGuardPage);
    SetDllStack(MapDllStack());
    if ((before_entry != nullptr && !before_entry(failure)) || !AttachDll(dll, failure)) {
        UnloadDll(&dll, false);
        return false;
    }
    module->entries.dispatch = reinterpret_cast<DispatchEntry>(dll.image.At(dispatch));
    module->entries.query = reinterpret_cast<QueryEntry>(dll.image.At(query));
    return true;
}

void UnloadExtenderModule(LoadedModule* module) {
    UnloadDll(&module->dll, true);
}

}  // namespace qel
