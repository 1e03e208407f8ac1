// Scripts: one call per line (or per ';'), name(arg, ...), '#' comments.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace qel {

constexpr size_t kMaximumArguments = 5;

using ArgumentList = std::vector<std::optional<std::string>>;  // nullopt: absent (null)

// One statement of a script: a call, or the reason it is malformed.
struct ScriptStatement {
    int line = 0;
    std::string name;
    ArgumentList arguments;
    std::string error;  // non-empty: malformed, not run
};

// Splits the text into statements. "quoted" arguments keep their blanks (\" and \\ escape),
// bare words are trimmed, an empty bare argument is absent; `name` alone is a call without
// arguments.
std::vector<ScriptStatement> ParseScript(const std::string& text);

// How a call is written back for people: name("arg", ...), absent arguments left empty.
std::string CallText(const std::string& name, const ArgumentList& arguments);

}  // namespace qel
