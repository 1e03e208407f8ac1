// A stand-in for the QEL host in the unit tests: argument records, a result record with
// a recognisable fill, and a standard-call callback that records every call.
#pragma once
#include <stdint.h>
#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "extender/exports.h"
#include "extender/host_protocol.h"
#include "platform/fake/fake_platform.h"

namespace test_host {

struct CallbackCall {
    int32_t status;
    uint32_t host_context;
    void* host_info;
    void* result_record;
};

struct Host {
    std::vector<CallbackCall> callbacks;
    int32_t callback_answer = 0x5151;
};

Host& host();

KZ_STDCALL int32_t RecordingCallback(int32_t status, uint32_t host_context, void* host_info,
                                     void* result_record);

constexpr uint8_t kFill = 0xCC;
constexpr uint32_t kWindow = 0x1234;
constexpr uint32_t kContext = 0xC0FFEE;

// One script function call as the host makes it, with the records it owns.
struct ScriptCall {
    uint8_t records[5 * kArgumentRecordSize];
    uint8_t result[64];
    uint8_t host_info[16];
    std::string texts[5];
    int32_t returned = 0;

    ScriptCall();
    // Sets argument i (0-4) to `text`, or to a null pointer.
    void SetArgument(int i, std::optional<std::string> text);
    int32_t Run(uint32_t function_number, HostCallback callback = RecordingCallback);

    int32_t Value() const { return static_cast<int32_t>(LoadWord(result, kResultValueOffset)); }
    int32_t ResultType() const { return static_cast<int32_t>(LoadWord(result, kResultTypeOffset)); }
    const char* Text() const {
        return reinterpret_cast<const char*>(
            static_cast<uintptr_t>(LoadWord(result, kResultTextOffset)));
    }
};

// Resets the fake platform and the recorded callbacks.
void ResetAll();

}  // namespace test_host
