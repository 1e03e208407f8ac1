// The examples of the function reference, run through qelhost and the real DLL: each
// "$ qelhost ..." line of a console block must print exactly the lines below it, where
// <number> stands for a figure of this machine or of timing and <text> for any text.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "resources/messages.h"
#include "tests/support/qelhost_run.h"

namespace {

struct Example {
    int line = 0;  // of the command in the document
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
};

std::string ReadReference() {
    std::ifstream file(KZ_FUNCTION_REFERENCE, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// Words as a shell splits them here: blanks separate, single quotes keep text as it is.
std::vector<std::string> ShellWords(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, in_word = false;
    for (const char c : command) {
        if (c == '\'') {
            quoted = !quoted;
            in_word = true;
        } else if (c == ' ' && !quoted) {
            if (in_word)
                words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word)
        words.push_back(word);
    return words;
}

std::vector<Example> Examples(const std::string& reference) {
    const std::string prompt = "$ qelhost ";
    std::vector<Example> examples;
    bool in_block = false, in_console = false, in_example = false;
    int number = 0;
    for (const std::string& line : Lines(reference)) {
        ++number;
        if (line.rfind("```", 0) == 0) {
            in_console = !in_block && line == "```console";
            in_block = !in_block;
            in_example = false;
        } else if (in_console && line.rfind(prompt, 0) == 0) {
            examples.push_back({number, ShellWords(line.substr(prompt.size())), {}});
            in_example = true;
        } else if (in_example) {
            examples.back().expected.push_back(line);
        }
    }
    return examples;
}

// An expected line as a pattern: the markers become what they stand for, the rest is literal.
std::regex LinePattern(const std::string& expected) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    std::string pattern = std::regex_replace(expected, special, R"(\$&)");
    pattern = std::regex_replace(pattern, std::regex("<number>"), R"(-?[0-9]+(\.[0-9]+)?)");
    pattern = std::regex_replace(pattern, std::regex("<text>"), ".+");
    return std::regex(pattern);
}

TEST(FunctionReference, EveryExamplePrintsWhatTheReferenceShows) {
    const std::vector<Example> examples = Examples(ReadReference());
    ASSERT_GE(examples.size(), 10u);
    for (const Example& example : examples) {
        SCOPED_TRACE("docs/functions.md:" + std::to_string(example.line));
        const host_test::HostRun run = host_test::RunQelhost(QELHOST_RUNNER, example.arguments);
        EXPECT_EQ(run.exit_status, 0) << run.err;
        const std::vector<std::string> printed = Lines(run.out);
        EXPECT_EQ(printed.size(), example.expected.size()) << run.out;
        for (size_t index = 0; index < printed.size() && index < example.expected.size(); ++index) {
            EXPECT_TRUE(std::regex_match(printed[index], LinePattern(example.expected[index])))
                << "printed:  " << printed[index] << "\nexpected: " << example.expected[index];
        }
    }
}

TEST(FunctionReference, EveryFunctionHasAnExample) {
    std::string commands;
    for (const Example& example : Examples(ReadReference())) {
        for (const std::string& argument : example.arguments)
            commands += argument + "\n";
    }
    for (const char* name : {"cversioninfo", "ccpuid()", "ccpufeat", "ccpuidext", "ccpuspeed",
                             "ccpusupt", "cmemstat", "cclonecheck", "ccpubenchmark", "cvendorid"}) {
        EXPECT_NE(commands.find(name), std::string::npos) << name;
    }
}

TEST(FunctionReference, QuotesEveryMessageOfTheStringTableExactly) {
    const std::string reference = ReadReference();
    for (const char* text :
         {KZ_TEXT_DESCRIPTION, KZ_TEXT_INVALID_VERSION, KZ_TEXT_INVALID_PARAMETER,
          KZ_TEXT_SPEED_MODE, KZ_TEXT_BENCHMARK_LOOP}) {
        EXPECT_NE(reference.find(std::string("`") + text + "`"), std::string::npos) << text;
    }
}

}  // namespace
