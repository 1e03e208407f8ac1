// Calls one script function the way the dispatcher does, over the fake platform, and keeps
// what it handed back to the host.
#pragma once
#include <stdint.h>
#include <string.h>

#include <initializer_list>
#include <string>

#include "extender/host_protocol.h"
#include "extender/report.h"

namespace script_call {

struct ScriptOutcome {
    int callbacks = 0;
    int32_t status = 99;
    int32_t result_type = 0;
    uint32_t value = 0;
    std::string text;
};

inline ScriptOutcome& LastOutcome() {
    static ScriptOutcome outcome;
    return outcome;
}

inline KZ_STDCALL int32_t RecordOutcome(int32_t status, uint32_t, void*, void* record) {
    ScriptOutcome& outcome = LastOutcome();
    ++outcome.callbacks;
    outcome.status = status;
    outcome.result_type = static_cast<int32_t>(LoadWord(record, kResultTypeOffset));
    outcome.value = LoadWord(record, kResultValueOffset);
    if (outcome.result_type == kResultTypeText)
        outcome.text = MessageBuffer;
    return 7;  // what the export hands back to the host
}

// Runs `function` with up to five argument texts (null where the host gives none).
inline ScriptOutcome CallScript(int32_t (*function)(const Call&),
                                std::initializer_list<const char*> args) {
    LastOutcome() = ScriptOutcome{};
    uint8_t record[64];
    memset(record, 0, sizeof record);
    Call call{};
    call.callback = RecordOutcome;
    call.result_record = record;
    int i = 0;
    for (const char* text : args)
        call.args[i++] = text;
    const int32_t returned = function(call);
    ScriptOutcome outcome = LastOutcome();
    if (returned != 7)
        outcome.callbacks = -1;  // the callback's answer must pass through
    return outcome;
}

}  // namespace script_call
