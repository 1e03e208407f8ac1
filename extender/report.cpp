#include "extender/report.h"

#include "extender/module.h"
#include "platform/win32_services.h"

char MessageBuffer[256];

namespace {

// A host that passes no callback gets the status as the export's answer instead, and a
// host that passes no record gets nothing written.
int32_t CallHost(const Call& call, int32_t status) {
    if (call.callback == nullptr)
        return status;
    return call.callback(status, call.host_context, call.host_info, call.result_record);
}

}  // namespace

int32_t ReportValue(const Call& call, uint32_t value) {
    if (call.result_record != nullptr) {
        StoreWord(call.result_record, kResultValueOffset, value);
        StoreWord(call.result_record, kResultTypeOffset, kResultTypeValue);
    }
    return CallHost(call, 0);
}

int32_t ReportError(const Call& call, uint32_t message_id) {
    if (call.result_record != nullptr) {
        StoreWord(call.result_record, kResultTextOffset,
                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(MessageBuffer)));
    }
    // A missing id leaves the loader's empty text; the buffer is cleared first so that no
    // loader can leave an earlier message behind.
    MessageBuffer[0] = '\0';
    platform::LoadMessage(ModuleHandle, message_id, MessageBuffer, sizeof MessageBuffer);
    if (call.result_record != nullptr) {
        StoreWord(call.result_record, kResultTypeOffset, kResultTypeText);
    }
    return CallHost(call, -1);
}
