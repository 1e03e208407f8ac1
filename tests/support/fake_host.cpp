#include "tests/support/fake_host.h"

#include <string.h>

#include "extender/module.h"

namespace test_host {

namespace {
KZ_STDCALL int32_t IgnoringCallback(int32_t, uint32_t, void*, void*) {
    return 0;
}
}  // namespace

ScriptCall::ScriptCall() {
    memset(records, 0xCC, sizeof records);
    memset(result, 0xCC, sizeof result);
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

void ScriptCall::Run(uint32_t function_number) {
    QELExtender2(nullptr, 0, 0, function_number, IgnoringCallback, nullptr, 0, records, 0, result);
}

void ResetAll() {
    fake::Reset();
    DllMain(reinterpret_cast<void*>(0x10000000), 1, nullptr);
}

}  // namespace test_host
