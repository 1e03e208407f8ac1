#include "host/cli/output/calls.h"

#include <nlohmann/json.hpp>
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

Json ResultJson(const CallResult& result, const std::string& decoded) {
    Json json = Json::object();
    if (result.line > 0)
        json["line"] = result.line;
    json["call"] = result.name;
    json["number"] = result.number;
    Json& arguments = json["arguments"] = Json::array();
    for (const std::optional<std::string>& argument : result.arguments)
        arguments.push_back(argument ? Json(*argument) : Json(nullptr));
    if (!result.failure.empty()) {
        json["status"] = "crashed";
        json["failure"] = result.failure;
    } else if (result.outcome.status == 0) {
        json["status"] = "value";
        json["value"] = result.outcome.value;
    } else {
        const int32_t number = ErrorNumber(result.outcome.text);
        json["status"] = "error";
        json["error"] = number >= 0 ? Json(number) : Json(nullptr);
        json["message"] = result.outcome.text;
    }
    if (!decoded.empty())
        json["decoded"] = decoded;
    if (result.seconds >= 0)
        json["seconds"] = result.seconds;
    return json;
}

void ScriptOutput::Call(const CallResult& result) {
    if (json_)
        calls_json_.push_back(ResultJson(result));
    else
        out_ << ResultText(result) << "\n" << std::flush;
}

void ScriptOutput::Problem(const std::string& source, int line, const std::string& problem) {
    err_ << source << ":" << line << ": " << problem << "\n";
    problems_json_.push_back({{"source", source}, {"line", line}, {"problem", problem}});
}

void ScriptOutput::Finish() {
    if (json_)
        out_ << JsonDocument({{"calls", calls_json_}, {"problems", problems_json_}});
}

}  // namespace qel
