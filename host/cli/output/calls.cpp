#include "host/cli/output/calls.h"

#include <stdio.h>

#include <ostream>

#include "host/cli/output/format.h"

namespace qel {

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

void ScriptOutput::Call(const CallResult& result) {
    if (json_)
        calls_json_.push_back(ResultJson(result));
    else
        out_ << ResultText(result) << "\n" << std::flush;
}

void ScriptOutput::Problem(const std::string& source, int line, const std::string& problem) {
    err_ << source << ":" << line << ": " << problem << "\n";
    problems_json_.push_back("{\"source\": " + JsonQuote(source) + ", \"line\": " +
                             std::to_string(line) + ", \"problem\": " + JsonQuote(problem) + "}");
}

void ScriptOutput::Finish() {
    if (!json_)
        return;
    auto list = [](const std::vector<std::string>& items) {
        std::string text;
        for (size_t i = 0; i < items.size(); ++i)
            text += (i ? ",\n  " : "\n  ") + items[i];
        return text + (items.empty() ? "]" : "\n]");
    };
    out_ << "{\"calls\": [" << list(calls_json_) << ", \"problems\": [" << list(problems_json_)
         << "}\n";
}

}  // namespace qel
