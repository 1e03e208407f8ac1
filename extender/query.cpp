#include "abi/qel_records.h"
#include "extender/exports.h"
#include "extender/module.h"
#include "platform/win32_services.h"
#include "resources/messages.h"

namespace {

char DescriptionBuffer[256];

int32_t ScanForFour(const int32_t* list, int32_t count) {
    if (list == nullptr)
        return -1;  // no list holds no 4
    for (int32_t i = 0; i < count; ++i) {
        if (list[i] == 4)
            return 4;
    }
    return -1;
}

}  // namespace

extern "C" KZ_STDCALL int32_t QELExtenderQuery(uint32_t code, void* pointer, int32_t count) {
    switch (static_cast<int16_t>(code & 0xFFFF)) {
        case qel_abi::kQueryDescription:
            if (pointer != nullptr && count > 0) {
                platform::LoadMessage(ModuleHandle, KZ_MSG_DESCRIPTION, DescriptionBuffer,
                                      sizeof DescriptionBuffer);
                platform::CopyTextLimited(static_cast<char*>(pointer), DescriptionBuffer, count);
            }
            return KZ_EXTENDER_VERSION;
        case 2:
            return ScanForFour(static_cast<const int32_t*>(pointer), count);
        default:
            return 0;
    }
}
