// The command line, byte counts, error numbers, the decoded values of the report, the calls
// it makes and the progress line of blocking calls. Whole command lines, with their exit
// status and messages, are run in cli_test.cpp.
#include "host/cli/options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/cli/decode.h"
#include "host/cli/function_traits.h"
#include "host/cli/output/terminal.h"
#include "host/cli/session.h"

namespace {

struct CommandLineCase {
    const char* label;
    std::vector<std::string> arguments;
    std::string error;  // a part of the message; "" when the line is usable
    std::function<bool(const qel::Options&)> check;
    friend void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.label; }
};

class CommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, ParsesOrNamesTheProblem) {
    qel::Options options;
    std::string error;
    const bool parsed = qel::ParseCommandLine(GetParam().arguments, &options, &error);
    if (GetParam().error.empty()) {
        ASSERT_TRUE(parsed) << error;
        EXPECT_TRUE(GetParam().check(options));
    } else {
        EXPECT_FALSE(parsed);
        EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    }
}

using O = qel::Options;

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLine,
    testing::Values(
        CommandLineCase{"nothing",
                        {},
                        "",
                        [](const O& o) { return o.scripts.empty() && !o.calls && o.dll.empty(); }},
        CommandLineCase{
            "dll_equals", {"--dll=y.dll"}, "", [](const O& o) { return o.dll == "y.dll"; }},
        CommandLineCase{"box_ok", {"--box=ok"}, "", [](const O& o) { return o.box_answer == 1; }},
        CommandLineCase{
            "json_list", {"--json", "--list"}, "", [](const O& o) { return o.json && o.list; }},
        CommandLineCase{"scripts",
                        {"a.qel", "-", "b.qel"},
                        "",
                        [](const O& o) {
                            return o.scripts == std::vector<std::string>{"a.qel", "-", "b.qel"};
                        }},
        CommandLineCase{"two_e",
                        {"-e", "a()", "-e", "b()"},
                        "",
                        [](const O& o) { return o.calls == "a()\nb()\n"; }},
        CommandLineCase{"dll_without_value", {"--dll"}, "--dll needs a value", nullptr},
        CommandLineCase{"empty_cpu", {"--cpu="}, "--cpu needs a model", nullptr},
        CommandLineCase{"memory_garbage", {"--memory", "12Q"}, "--memory takes a size", nullptr},
        CommandLineCase{
            "e_and_script", {"-e", "a()", "x.qel"}, "either script files or -e", nullptr},
        CommandLineCase{"list_and_script", {"--list", "x.qel"}, "--list runs no script", nullptr},
        // Which processor of a dump listing several: a number, or all of them for the zoo.
        CommandLineCase{
            "cpuid_processor",
            {"--cpuid", "d.txt", "--cpuid-processor", "3"},
            "",
            [](const O& o) { return o.cpuid_processor == 3 && !o.cpuid_all_processors; }},
        CommandLineCase{"cpuid_processor_all_for_the_zoo",
                        {"--zoo", "--cpuid-processor=all"},
                        "",
                        [](const O& o) { return o.cpuid_all_processors; }},
        CommandLineCase{"cpuid_processor_all_without_the_zoo",
                        {"--cpuid", "d.txt", "--cpuid-processor", "all"},
                        "--cpuid-processor all goes with --zoo",
                        nullptr},
        CommandLineCase{"cpuid_processor_not_decimal",
                        {"--cpuid", "d.txt", "--cpuid-processor=0x1"},
                        "--cpuid-processor takes a processor's number",
                        nullptr},
        CommandLineCase{"cpuid_processor_without_a_dump",
                        {"--cpuid-processor", "1"},
                        "give --cpuid FILE",
                        nullptr},
        // Windows' timers: GetTickCount's step, then timeGetTime's; one length is both.
        CommandLineCase{"timer_steps_windows",
                        {"--timer-steps", "15.625,1"},
                        "",
                        [](const O& o) {
                            return o.tick_step_microseconds == 15625 &&
                                   o.multimedia_step_microseconds == 1000;
                        }},
        CommandLineCase{"timer_steps_one_for_both",
                        {"--timer-steps=16"},
                        "",
                        [](const O& o) {
                            return o.tick_step_microseconds == 16000 &&
                                   o.multimedia_step_microseconds == 16000;
                        }},
        CommandLineCase{"timer_steps_limits",
                        {"--timer-steps", "0,1000.000"},
                        "",
                        [](const O& o) {
                            return o.tick_step_microseconds == 0 &&
                                   o.multimedia_step_microseconds == 1'000'000;
                        }},
        CommandLineCase{"timer_steps_four_decimals",
                        {"--timer-steps", "15.6251"},
                        "--timer-steps takes milliseconds",
                        nullptr},
        CommandLineCase{"timer_steps_above_a_second",
                        {"--timer-steps", "1,1000.001"},
                        "--timer-steps takes milliseconds",
                        nullptr},
        CommandLineCase{"timer_steps_three",
                        {"--timer-steps", "1,2,3"},
                        "--timer-steps takes milliseconds",
                        nullptr},
        CommandLineCase{"timer_steps_empty_second",
                        {"--timer-steps", "1,"},
                        "--timer-steps takes milliseconds",
                        nullptr},
        CommandLineCase{"timer_steps_no_digits",
                        {"--timer-steps", "."},
                        "--timer-steps takes milliseconds",
                        nullptr},
        CommandLineCase{"sandbox_unset_until_asked",
                        {"--dll", "x.dll"},
                        "",
                        [](const O& o) { return !o.sandbox.has_value(); }},
        CommandLineCase{"sandbox_twice",
                        {"--sandbox", "--sandbox"},
                        "",
                        [](const O& o) { return o.sandbox == true; }},
        CommandLineCase{
            "no_sandbox", {"--no-sandbox"}, "", [](const O& o) { return o.sandbox == false; }},
        CommandLineCase{"sandbox_and_no_sandbox",
                        {"--sandbox", "--no-sandbox"},
                        "either --sandbox or --no-sandbox",
                        nullptr}),
    [](const testing::TestParamInfo<CommandLineCase>& info) {
        return std::string(info.param.label);
    });

struct ByteCountCase {
    const char* text;
    std::optional<uint64_t> bytes;
    friend void PrintTo(const ByteCountCase& c, std::ostream* out) {
        *out << "\"" << c.text << "\"";
    }
};

class ByteCount : public testing::TestWithParam<ByteCountCase> {};

TEST_P(ByteCount, ReadsSuffixesInPowersOf1024) {
    uint64_t bytes = 0;
    const bool parsed = qel::ParseByteCount(GetParam().text, &bytes);
    EXPECT_EQ(parsed, GetParam().bytes.has_value());
    if (parsed) {
        EXPECT_EQ(bytes, *GetParam().bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ByteCount,
    testing::Values(ByteCountCase{"0", 0}, ByteCountCase{"4294967296", 4294967296ull},
                    ByteCountCase{"512M", 512ull << 20}, ByteCountCase{"8g", 8ull << 30},
                    ByteCountCase{"2K", 2048}, ByteCountCase{"1T", 1ull << 40},
                    ByteCountCase{"18446744073709551615", UINT64_MAX},
                    ByteCountCase{"18446744073709551616", std::nullopt},
                    ByteCountCase{"16777216T", std::nullopt}, ByteCountCase{"", std::nullopt},
                    ByteCountCase{"G", std::nullopt}, ByteCountCase{"-1", std::nullopt},
                    ByteCountCase{"1GB", std::nullopt}, ByteCountCase{"1.5G", std::nullopt}));

struct ErrorNumberCase {
    const char* message;
    int32_t number;
    friend void PrintTo(const ErrorNumberCase& c, std::ostream* out) {
        *out << "\"" << c.message << "\"";
    }
};

class ErrorNumber : public testing::TestWithParam<ErrorNumberCase> {};

TEST_P(ErrorNumber, IsTheNumberBeforeTheColon) {
    EXPECT_EQ(qel::ErrorNumber(GetParam().message), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Messages, ErrorNumber,
                         testing::Values(ErrorNumberCase{"17101: Invalid Parameter.", 17101},
                                         ErrorNumberCase{"17100:  Invalid DLL Version", 17100},
                                         ErrorNumberCase{"", -1}, ErrorNumberCase{"17101", -1},
                                         ErrorNumberCase{": x", -1}, ErrorNumberCase{"abc: x", -1},
                                         ErrorNumberCase{"1234567890: x", -1}));

struct DecodeCase {
    const char* name;
    const char* argument;
    int32_t value;
    const char* expected;
    bool clone = false;  // cclonecheck said 1
    friend void PrintTo(const DecodeCase& c, std::ostream* out) {
        *out << c.name << " " << c.value;
    }
};

class Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, DescribesTheValue) {
    EXPECT_EQ(qel::DescribeValue(GetParam().name, GetParam().argument, GetParam().value,
                                 GetParam().clone),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Decode,
    testing::Values(
        DecodeCase{"cvendorid", "", 1, "GenuineIntel"},
        DecodeCase{"cvendorid", "", 0, "another vendor"},
        DecodeCase{"ccpuidext", "", 0x0671, "0x0671: type 0, family 6, model 7, stepping 1"},
        DecodeCase{"ccpuidext", "", 0x1563, "0x1563: type 1, family 5, model 6, stepping 3"},
        DecodeCase{"ccpuid", "", 65535, "no CPUID leaf 1"},
        DecodeCase{"ccpuid", "", 15, "family 15 or above (the 4-bit family field)"},
        DecodeCase{"ccpufeat", "", 0x11, "0x00000011: fpu tsc"},
        DecodeCase{"ccpufeat", "", static_cast<int32_t>(0x80000400), "0x80000400: bit10 pbe"},
        DecodeCase{"ccpufeat", "", 0, "0x00000000: "},
        DecodeCase{"cmemstat", "", 0x7FFFFFFF, "2047 MiB (the 2 GB cap of a 32-bit process)"},
        DecodeCase{"ccpuspeed", "1", 2598, "measured 2598 MHz"},
        DecodeCase{"ccpuspeed", "0", 2600, "rated 2600 MHz"},
        DecodeCase{"ccpuspeed", "2", 10000, "timed interval 10000 us"},
        DecodeCase{"ccpuspeed", "3", 26000000, "26000000 cycles counted"},
        DecodeCase{"ccpuspeed", "0", 1802, "1802 MHz counted over one second", true},
        DecodeCase{"ccpuspeed", "2", 1001, "timed interval 1001 ms", true},
        DecodeCase{"ccpuspeed", "3", static_cast<int32_t>(2602599999u),
                   "2602599999 cycles over one second = 2602 MHz", true}));

struct Leaf1Case {
    uint32_t eax;
    const char* full;  // "" when the 16-bit signature says it all
    friend void PrintTo(const Leaf1Case& c, std::ostream* out) { *out << std::hex << c.eax; }
};

class Leaf1Decode : public testing::TestWithParam<Leaf1Case> {};

TEST_P(Leaf1Decode, AddsTheExtendedFieldsWhereTheyCount) {
    EXPECT_EQ(qel::FullIdentificationText(GetParam().eax), GetParam().full);
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, Leaf1Decode,
    testing::Values(
        Leaf1Case{0x00A00F11, "family 25 (15 + extended 10), model 1, stepping 1"},  // Zen 3
        Leaf1Case{0x00B40F40,
                  "family 26 (15 + extended 11), model 68 (4 + extended 4 * 16), "
                  "stepping 0"},                                                    // Zen 5
        Leaf1Case{0x00900F01, "family 24 (15 + extended 9), model 0, stepping 1"},  // Hygon
        Leaf1Case{0x00000F29, "family 15 (15 + extended 0), model 2, stepping 9"},  // Pentium 4
        Leaf1Case{0x000906EA, "family 6, model 158 (14 + extended 9 * 16), stepping 10"},
        Leaf1Case{0x00000663, ""},  // Pentium II: the 16 bits say it all
        Leaf1Case{0x00000543, ""},
        // Extended fields of other families are not part of the identification.
        Leaf1Case{0x00F30543, ""}));

struct ReportCallsCase {
    const char* name;
    bool clone;
    std::vector<qel::ArgumentList> calls;
    friend void PrintTo(const ReportCallsCase& c, std::ostream* out) {
        *out << c.name << (c.clone ? " clone" : "");
    }
};

class ReportCalls : public testing::TestWithParam<ReportCallsCase> {};

TEST_P(ReportCalls, FollowTheSpeedRoute) {
    EXPECT_EQ(qel::ReportArguments(GetParam().name, GetParam().clone), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Functions, ReportCalls,
    testing::Values(ReportCallsCase{"ccpuspeed", true, {{"3"}}},
                    ReportCallsCase{"ccpuspeed", false, {{"0"}, {"1"}, {"2"}, {"3"}}},
                    ReportCallsCase{"ccpubenchmark", false, {{"1", "0", "1", "0", "1"}}},
                    ReportCallsCase{"cversioninfo", true, {{"0"}}},
                    ReportCallsCase{"cvendorid", false, {{}}},
                    // Names the host does not know exactly get one call without arguments.
                    ReportCallsCase{"nosuch", false, {{}}},
                    ReportCallsCase{"CCPUSPEED", true, {{}}}));

// Answers every call with 7, as the DLL answers through its callback.
class AnsweringExtender : public qel::Extender {
  public:
    std::string Description(int32_t*) override { return ""; }
    int32_t Handshake(uint32_t, char*) override { return 0; }
    int32_t Enumerate(int32_t, void*) override { return 0; }
    qel::Outcome Call(uint32_t, const qel::ArgumentTexts&) override {
        qel::Outcome outcome;
        outcome.callbacks = 1;
        outcome.value = 7;
        return outcome;
    }
    void set_callback_answer(int32_t) override {}
};

// Every function is run; only the ones that block show the line and are timed.
TEST(BlockingCalls, ShowTheMeasuringLineOnATerminalAndAreTimed) {
    AnsweringExtender extender;
    std::ostringstream terminal;
    qel::MeasuringLine measuring(&terminal);
    qel::Session session;
    session.dll = &extender;
    session.guard = [](const std::function<void()>& work, std::string*) {
        work();
        return true;
    };
    session.watcher = &measuring;
    for (int32_t number = 1; number <= qel_abi::kScriptFunctionCount; ++number) {
        qel::FunctionRow row;
        row.identifier = number;
        row.name = qel::TraitsOf(number).name;
        const qel::ArgumentList arguments = qel::ReportArguments(row.name, false).back();
        const qel::CallResult result = qel::RunCall(session, row, arguments);
        EXPECT_EQ(result.outcome.value, 7) << row.name;
        const bool blocks = row.name == "ccpuspeed" || row.name == "ccpubenchmark";
        EXPECT_EQ(result.seconds >= 0, blocks) << row.name;
    }
    EXPECT_EQ(terminal.str(),
              "ccpuspeed(\"3\"): measuring...\r\033[K"
              "ccpubenchmark(\"1\", \"0\", \"1\", \"0\", \"1\"): measuring...\r\033[K");
}

}  // namespace
