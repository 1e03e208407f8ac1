// The script and -e parser on arbitrary text. Every statement it accepts, written back with
// CallText, must parse again to the same call.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "host/cli/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const qel::ScriptStatement& statement : qel::ParseScript(text)) {
        if (!statement.error.empty())
            continue;
        const auto again = qel::ParseScript(qel::CallText(statement.name, statement.arguments));
        if (again.size() != 1 || !again[0].error.empty() || again[0].name != statement.name ||
            again[0].arguments != statement.arguments) {
            __builtin_trap();
        }
    }
    return 0;
}
