// A stand-in for the QEL host in the unit tests: argument records and a result record with
// a recognisable fill, passed to the dispatch export.
#pragma once
#include <stdint.h>

#include <optional>
#include <string>

#include "extender/exports.h"
#include "extender/host_protocol.h"
#include "platform/fake/fake_platform.h"

namespace test_host {

// One script function call as the host makes it, with the records it owns.
struct ScriptCall {
    uint8_t records[5 * kArgumentRecordSize];
    uint8_t result[64];
    std::string texts[5];

    ScriptCall();
    // Sets argument i (0-4) to `text`, or to a null pointer.
    void SetArgument(int i, std::optional<std::string> text);
    void Run(uint32_t function_number);

    int32_t Value() const { return static_cast<int32_t>(LoadWord(result, kResultValueOffset)); }
    const char* Text() const {
        return reinterpret_cast<const char*>(
            static_cast<uintptr_t>(LoadWord(result, kResultTextOffset)));
    }
};

// Resets the fake platform and loads the library under a known module handle.
void ResetAll();

}  // namespace test_host
