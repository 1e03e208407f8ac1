#include "fake_host.h"

#include "extender/module.h"

namespace test_host {

Host& host() {
    static Host the_host;
    return the_host;
}

KZ_STDCALL int32_t RecordingCallback(int32_t status, uint32_t host_context, void* host_info,
                                     void* result_record) {
    host().callbacks.push_back({status, host_context, host_info, result_record});
    return host().callback_answer;
}

ScriptCall::ScriptCall() {
    memset(records, kFill, sizeof records);
    memset(result, kFill, sizeof result);
    memset(host_info, 0, sizeof host_info);
    for (int i = 0; i < 5; ++i)
        SetArgument(i, std::nullopt);
}

void ScriptCall::SetArgument(int i, std::optional<std::string> text) {
    uint32_t pointer = 0;
    if (text) {
        texts[i] = *text;
        pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(texts[i].c_str()));
    }
    StoreWord(records, i * kArgumentRecordSize + kArgumentTextOffset, pointer);
}

int32_t ScriptCall::Run(uint32_t function_number, HostCallback callback) {
    returned = QELExtender2(reinterpret_cast<void*>(kWindow), 0xDEAD, kContext, function_number,
                            callback, host_info, 0xBEEF, records, 0, result);
    return returned;
}

void ResetAll() {
    fake::Reset();
    host() = Host{};
    DllMain(reinterpret_cast<void*>(0x10000000), 1, nullptr);
}

}  // namespace test_host
