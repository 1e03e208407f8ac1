// How calls are written: one call as a line of text or a JSON object, and the output of a
// script run, its calls and the lines that could not run.
#pragma once
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/cli/output/format.h"
#include "host/cli/session.h"

namespace qel {

// "name(args) = value" or "name(args) -> error N "text"".
std::string ResultText(const CallResult& result);
// One JSON object for the call; `decoded` is added when non-empty, `seconds` when timed.
Json ResultJson(const CallResult& result, const std::string& decoded = "");

// The calls of a script as they run (text), or all at the end (JSON); the lines that could
// not run go to `err` either way.
class ScriptOutput {
  public:
    ScriptOutput(bool json, std::ostream& out, std::ostream& err)
        : json_(json), out_(out), err_(err) {}
    void Call(const CallResult& result);
    void Problem(const std::string& source, int line, const std::string& problem);
    void Finish();

  private:
    bool json_;
    std::ostream& out_;
    std::ostream& err_;
    Json calls_json_ = Json::array(), problems_json_ = Json::array();
};

}  // namespace qel
