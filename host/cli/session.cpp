#include "host/cli/session.h"

#include <string.h>
#include <strings.h>

#include <chrono>

#include "host/cli/function_traits.h"

namespace qel {

bool StartSession(Session* session, std::string* error) {
    char refusal[64] = {};
    std::string failure;
    const bool survived = session->guard(
        [&] {
            session->description = session->dll->Description(&session->version);
            session->handshake = session->dll->Handshake(kHostVersion, refusal);
            if (session->handshake >= 0)
                session->functions = session->dll->Functions();
        },
        &failure);
    if (!survived) {
        *error = "the DLL " + failure + " while the host set it up";
        return false;
    }
    if (session->handshake < 0) {
        *error = "the DLL refused this host's version " + std::to_string(kHostVersion) + ": " +
                 std::string(refusal, strnlen(refusal, sizeof refusal));
        return false;
    }
    return true;
}

const FunctionRow* FindFunction(const Session& session, const std::string& name) {
    for (const FunctionRow& row : session.functions) {
        if (strcasecmp(row.name.c_str(), name.c_str()) == 0)
            return &row;
    }
    return nullptr;
}

CallResult RunCall(Session& session, const FunctionRow& function, const ArgumentList& arguments) {
    CallResult result;
    result.name = function.name;
    result.number = function.identifier;
    result.arguments = arguments;
    // A person at a terminal is told why the host waits.
    const bool blocking = Blocks(function.name);
    if (blocking && session.watcher != nullptr)
        session.watcher->Started(function.name, arguments);
    const auto start = std::chrono::steady_clock::now();
    session.guard(
        [&] {
            result.outcome =
                session.dll->Call(static_cast<uint32_t>(function.identifier), arguments);
        },
        &result.failure);
    if (blocking)
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result.failure.empty() && result.outcome.callbacks != 1) {
        result.failure =
            "called back " + std::to_string(result.outcome.callbacks) + " times, not once";
    }
    if (blocking && session.watcher != nullptr)
        session.watcher->Ended();
    return result;
}

int32_t ErrorNumber(const std::string& message) {
    int32_t number = 0;
    size_t position = 0;
    while (position < message.size() && position < 9 && message[position] >= '0' &&
           message[position] <= '9') {
        number = number * 10 + (message[position++] - '0');
    }
    return position > 0 && position < message.size() && message[position] == ':' ? number : -1;
}

}  // namespace qel
