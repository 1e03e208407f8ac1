#include "tests/support/shared_dll.h"

namespace host_test {

qel::ExtenderDll& SharedDll() {
    static qel::ExtenderDll* dll = [] {
        std::string error;
        qel::ExtenderDll* loaded = qel::ExtenderDll::Load(KZPROBEX_DLL_PATH, &error).release();
        if (loaded == nullptr) {
            ADD_FAILURE() << "cannot load " << KZPROBEX_DLL_PATH << ": " << error;
            abort();
        }
        return loaded;
    }();
    return *dll;
}

}  // namespace host_test
