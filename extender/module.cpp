#include "extender/module.h"

void* ModuleHandle = nullptr;

extern "C" KZ_STDCALL int32_t DllMain(void* module, uint32_t, void*) {
    ModuleHandle = module;
    return 1;
}
