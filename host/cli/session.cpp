#include "host/cli/session.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <chrono>
#include <ostream>

#include "host/cli/json.h"

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
    // These two block for a while; a person at a terminal is told why.
    const bool blocking = function.name == "ccpuspeed" || function.name == "ccpubenchmark";
    if (blocking && session.progress != nullptr) {
        *session.progress << CallText(function.name, arguments) << ": measuring..." << std::flush;
    }
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
    if (blocking && session.progress != nullptr)
        *session.progress << "\r\033[K" << std::flush;
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

std::string ResultText(const CallResult& result) {
    const std::string call = CallText(result.name, result.arguments);
    if (!result.failure.empty())
        return call + " -> the DLL " + result.failure;
    if (result.outcome.status == 0)
        return call + " = " + std::to_string(result.outcome.value);
    const int32_t number = ErrorNumber(result.outcome.text);
    std::string text = call + " -> error";
    if (number >= 0)
        text.append(" ").append(std::to_string(number));
    return text.append(" \"").append(result.outcome.text).append("\"");
}

std::string SecondsText(double seconds) {
    char text[32];
    snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

std::string ResultJson(const CallResult& result, const std::string& decoded) {
    std::string json = "{";
    if (result.line > 0)
        json += "\"line\": " + std::to_string(result.line) + ", ";
    json += "\"call\": " + JsonQuote(result.name) +
            ", \"number\": " + std::to_string(result.number) + ", \"arguments\": [";
    for (size_t index = 0; index < result.arguments.size(); ++index) {
        json += (index != 0 ? ", " : "") + JsonQuote(result.arguments[index]);
    }
    json += "], ";
    if (!result.failure.empty()) {
        json += "\"status\": \"crashed\", \"failure\": " + JsonQuote(result.failure);
    } else if (result.outcome.status == 0) {
        json += "\"status\": \"value\", \"value\": " + std::to_string(result.outcome.value);
    } else {
        const int32_t number = ErrorNumber(result.outcome.text);
        json += "\"status\": \"error\", \"error\": " +
                (number >= 0 ? std::to_string(number) : std::string("null")) +
                ", \"message\": " + JsonQuote(result.outcome.text);
    }
    if (!decoded.empty())
        json += ", \"decoded\": " + JsonQuote(decoded);
    if (result.seconds >= 0) {
        char seconds[32];
        snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
        json += ", \"seconds\": " + std::string(seconds);
    }
    return json + "}";
}

}  // namespace qel
