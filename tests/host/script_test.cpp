// Script syntax: what each line becomes, and the messages for malformed lines.
#include "host/cli/script.h"

#include <gtest/gtest.h>

namespace {

using Args = qel::ArgumentList;

struct StatementExpectation {
    int line;
    std::string name;
    Args arguments;
    std::string error;  // a part of the message; "" for a good call
};

struct ScriptCase {
    const char* label;
    std::string text;
    std::vector<StatementExpectation> expected;
    friend void PrintTo(const ScriptCase& c, std::ostream* out) { *out << c.label; }
};

class Script : public testing::TestWithParam<ScriptCase> {};

TEST_P(Script, ParsesIntoStatements) {
    const std::vector<qel::ScriptStatement> statements = qel::ParseScript(GetParam().text);
    const auto& expected = GetParam().expected;
    ASSERT_EQ(statements.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("statement " + std::to_string(i));
        EXPECT_EQ(statements[i].line, expected[i].line);
        if (expected[i].error.empty()) {
            EXPECT_EQ(statements[i].error, "");
            EXPECT_EQ(statements[i].name, expected[i].name);
            EXPECT_EQ(statements[i].arguments, expected[i].arguments);
        } else {
            EXPECT_NE(statements[i].error.find(expected[i].error), std::string::npos)
                << statements[i].error;
        }
    }
}

const std::nullopt_t kAbsent = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Lines, Script,
    testing::Values(
        ScriptCase{"empty_parentheses", "ccpuid()", {{1, "ccpuid", {}, ""}}},
        ScriptCase{"bare_name", "  ccpuid  ", {{1, "ccpuid", {}, ""}}},
        ScriptCase{"blanks_inside_empty", "ccpuid( )", {{1, "ccpuid", {}, ""}}},
        ScriptCase{"quoted_keeps_blanks", "ccpuspeed(\" 2\")", {{1, "ccpuspeed", {" 2"}, ""}}},
        ScriptCase{"bare_word_trimmed", "ccpuspeed(  2 \t)", {{1, "ccpuspeed", {"2"}, ""}}},
        ScriptCase{"bare_word_inner_blank", "ccpuspeed(1 2)", {{1, "ccpuspeed", {"1 2"}, ""}}},
        ScriptCase{"five_arguments",
                   "ccpubenchmark(1,0,1,0,1)",
                   {{1, "ccpubenchmark", {"1", "0", "1", "0", "1"}, ""}}},
        ScriptCase{"empty_argument_absent", "f(1,,3)", {{1, "f", {"1", kAbsent, "3"}, ""}}},
        ScriptCase{"trailing_absent", "f(1, )", {{1, "f", {"1", kAbsent}, ""}}},
        ScriptCase{"quoted_empty_is_text", "f(\"\")", {{1, "f", {""}, ""}}},
        ScriptCase{"quoted_comma", "f(\"a,b\")", {{1, "f", {"a,b"}, ""}}},
        ScriptCase{"quoted_hash_and_semicolon", "f(\"#;\")", {{1, "f", {"#;"}, ""}}},
        ScriptCase{"escaped_quote", "f(\"say \\\"hi\\\"\")", {{1, "f", {"say \"hi\""}, ""}}},
        ScriptCase{"signs_as_they_stand", "f(+1, -2, abc)", {{1, "f", {"+1", "-2", "abc"}, ""}}},
        ScriptCase{"semicolons",
                   "a(); b(1) ;c",
                   {{1, "a", {}, ""}, {1, "b", {"1"}, ""}, {1, "c", {}, ""}}},
        ScriptCase{
            "empty_statements_skipped", "a();;\n\n;b()", {{1, "a", {}, ""}, {3, "b", {}, ""}}},
        ScriptCase{"comments", "# heading\nf(1) # trailing\n   # indented", {{2, "f", {"1"}, ""}}},
        ScriptCase{"crlf", "f(1)\r\ng()\r\n", {{1, "f", {"1"}, ""}, {2, "g", {}, ""}}},
        ScriptCase{"line_numbers_after_errors",
                   "f(\n\ng(2)",
                   {{1, "", {}, "missing ')'"}, {3, "g", {"2"}, ""}}},
        ScriptCase{"missing_parenthesis", "f(1", {{1, "", {}, "missing ')'"}}},
        ScriptCase{"unterminated_quote", "f(\"abc", {{1, "", {}, "unterminated"}}},
        ScriptCase{"unterminated_quote_ends_at_line",
                   "f(\"abc\ng()",
                   {{1, "", {}, "unterminated"}, {2, "g", {}, ""}}},
        ScriptCase{"text_after_call", "f(1) x", {{1, "", {}, "unexpected text after ')'"}}},
        ScriptCase{"name_starts_with_digit", "1f()", {{1, "", {}, "expected a function name"}}},
        ScriptCase{"no_name", "(1)", {{1, "", {}, "expected a function name"}}},
        ScriptCase{"six_arguments", "f(1,2,3,4,5,6)", {{1, "", {}, "more than 5 arguments"}}},
        ScriptCase{"quote_inside_bare_word", "f(a\"b\")", {{1, "", {}, "unexpected '\"'"}}},
        ScriptCase{"text_after_quoted", "f(\"a\" b)", {{1, "", {}, "expected ',' or ')'"}}},
        ScriptCase{"nested_call", "f(g(1))", {{1, "", {}, "unexpected '('"}}},
        ScriptCase{"word_after_name", "f x", {{1, "", {}, "expected '(' after f"}}}),
    [](const testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.label); });

// What CallText writes, ParseScript reads back unchanged.
class CallTextRoundTrip : public testing::TestWithParam<Args> {};

TEST_P(CallTextRoundTrip, ParsesBackToTheSameArguments) {
    const std::string text = qel::CallText("ccpubenchmark", GetParam());
    const auto statements = qel::ParseScript(text);
    ASSERT_EQ(statements.size(), 1u) << text;
    EXPECT_EQ(statements[0].error, "") << text;
    // An absent last argument prints as nothing and so is dropped, as in "f(1, )".
    EXPECT_EQ(statements[0].arguments, GetParam()) << text;
}

INSTANTIATE_TEST_SUITE_P(Arguments, CallTextRoundTrip,
                         testing::Values(Args{}, Args{"1"}, Args{" 2"}, Args{""},
                                         Args{"a,b", "c)d"}, Args{"say \"x\"", "back\\slash"},
                                         Args{"1", kAbsent, "3"}, Args{"#", ";", "("},
                                         Args{"1", "0", "1", "0", "1"}));

}  // namespace
