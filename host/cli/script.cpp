#include "host/cli/script.h"

namespace qel {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}
bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

struct RawStatement {
    int line;
    std::string text;
};

// Cuts the text at newlines and at ';', dropping '#' comments; quotes protect both.
std::vector<RawStatement> SplitStatements(const std::string& text) {
    std::vector<RawStatement> statements;
    int line = 1;
    std::string current;
    bool quoted = false, comment = false;
    auto finish = [&] {
        statements.push_back({line, current});
        current.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            finish();
            ++line;
            quoted = comment = false;
        } else if (comment) {
            continue;
        } else if (quoted) {
            current += c;
            if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n')
                current += text[++i];
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            current += c;
            quoted = true;
        } else if (c == '#') {
            comment = true;
        } else if (c == ';') {
            finish();
        } else {
            current += c;
        }
    }
    finish();
    return statements;
}

class StatementParser {
  public:
    explicit StatementParser(const std::string& text) : text_(text) {}

    void Parse(ScriptStatement* statement) {
        SkipBlanks();
        if (AtEnd() || !IsNameStart(Peek())) {
            statement->error = "expected a function name";
            return;
        }
        while (!AtEnd() && IsNameChar(Peek()))
            statement->name += text_[position_++];
        SkipBlanks();
        if (AtEnd())
            return;  // a bare name: a call without arguments
        if (Peek() != '(') {
            statement->error = "expected '(' after " + statement->name;
            return;
        }
        ++position_;
        if (!ParseArguments(statement))
            return;
        SkipBlanks();
        if (!AtEnd())
            statement->error = "unexpected text after ')'";
        else if (statement->arguments.size() > kMaximumArguments) {
            statement->error = "more than " + std::to_string(kMaximumArguments) + " arguments";
        }
    }

  private:
    bool AtEnd() const { return position_ >= text_.size(); }
    char Peek() const { return text_[position_]; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek()))
            ++position_;
    }

    bool ParseArguments(ScriptStatement* statement) {
        SkipBlanks();
        if (!AtEnd() && Peek() == ')') {  // name()
            ++position_;
            return true;
        }
        for (;;) {
            std::optional<std::string> argument;
            if (!ParseArgument(&argument, &statement->error))
                return false;
            statement->arguments.push_back(argument);
            if (AtEnd()) {
                statement->error = "missing ')'";
                return false;
            }
            if (text_[position_++] == ')')
                return true;  // otherwise it was ','
        }
    }

    // One argument up to (not past) the ',' or ')' that ends it.
    bool ParseArgument(std::optional<std::string>* argument, std::string* error) {
        SkipBlanks();
        if (!AtEnd() && Peek() == '"') {
            ++position_;
            std::string value;
            while (!AtEnd() && Peek() != '"') {
                if (Peek() == '\\' && position_ + 1 < text_.size())
                    ++position_;
                value += text_[position_++];
            }
            if (AtEnd()) {
                *error = "unterminated quoted argument";
                return false;
            }
            ++position_;
            *argument = value;
            SkipBlanks();
        } else {
            std::string value;
            while (!AtEnd() && Peek() != ',' && Peek() != ')') {
                if (Peek() == '"' || Peek() == '(') {
                    *error = std::string("unexpected '") + Peek() + "' in an argument";
                    return false;
                }
                value += text_[position_++];
            }
            while (!value.empty() && IsBlank(value.back()))
                value.pop_back();
            if (!value.empty())
                *argument = value;
        }
        if (!AtEnd() && Peek() != ',' && Peek() != ')') {
            *error = "expected ',' or ')' after an argument";
            return false;
        }
        return true;
    }

    const std::string& text_;
    size_t position_ = 0;
};

}  // namespace

std::vector<ScriptStatement> ParseScript(const std::string& text) {
    std::vector<ScriptStatement> statements;
    for (const RawStatement& raw : SplitStatements(text)) {
        if (raw.text.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        ScriptStatement statement;
        statement.line = raw.line;
        StatementParser(raw.text).Parse(&statement);
        statements.push_back(statement);
    }
    return statements;
}

std::string CallText(const std::string& name, const ArgumentList& arguments) {
    std::string text = name + "(";
    for (size_t index = 0; index < arguments.size(); ++index) {
        if (index != 0)
            text += ", ";
        if (!arguments[index])
            continue;
        text += '"';
        for (char c : *arguments[index]) {
            if (c == '"' || c == '\\')
                text += '\\';
            text += c;
        }
        text += '"';
    }
    return text + ")";
}

}  // namespace qel
