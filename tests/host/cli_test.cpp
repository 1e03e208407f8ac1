// qelhost as a user runs it: exit status, output and messages for whole command lines.
#include <fstream>
#include <map>

#include "tests/support/qelhost_run.h"
#include "tests/support/shared_dll.h"

namespace {

struct CliCase {
    const char* label;
    std::vector<std::string> arguments;  // "{script}" stands for a file the test writes
    int exit_status;
    std::vector<std::string> out_has;
    std::vector<std::string> err_has;
    std::vector<std::string> err_lacks = {};
    std::string input = "";
    std::map<std::string, std::string> environment = {};
    std::vector<std::string> out_lacks = {};
    friend void PrintTo(const CliCase& c, std::ostream* out) { *out << c.label; }
};

const char* const kScript = R"(# a script with good and bad lines
cversioninfo(0)
nosuchfunction(1)
cversioninfo("abc")
ccpuid(
cmemstat()
cversioninfo(1, 2)
CVERSIONINFO(" +3")
)";

std::string Substitute(const std::string& argument) {
    if (argument == "{script}") {
        const std::string path = testing::TempDir() + "qelhost_cli_script.qel";
        std::ofstream(path) << kScript;
        return path;
    }
    return argument;
}

class Qelhost : public testing::TestWithParam<CliCase> {};

TEST_P(Qelhost, ExitsAndPrintsAsExpected) {
    const CliCase& c = GetParam();
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments)
        arguments.push_back(Substitute(argument));
    const host_test::HostRun run =
        host_test::RunQelhost(QELHOST_RUNNER, arguments, c.input, c.environment);
    EXPECT_EQ(run.exit_status, c.exit_status) << "stdout:\n" << run.out << "stderr:\n" << run.err;
    for (const std::string& text : c.out_has)
        EXPECT_NE(run.out.find(text), std::string::npos) << text << " in\n" << run.out;
    for (const std::string& text : c.err_has)
        EXPECT_NE(run.err.find(text), std::string::npos) << text << " in\n" << run.err;
    for (const std::string& text : c.err_lacks)
        EXPECT_EQ(run.err.find(text), std::string::npos) << text << " in\n" << run.err;
    for (const std::string& text : c.out_lacks)
        EXPECT_EQ(run.out.find(text), std::string::npos) << text << " in\n" << run.out;
}

const std::vector<std::string> kAllTen = {"cversioninfo(\"0\") = 44001",
                                          "ccpuid()",
                                          "ccpufeat()",
                                          "ccpuidext()",
                                          "ccpuspeed(\"3\")",
                                          "ccpusupt() = 1",
                                          "cmemstat()",
                                          "cclonecheck()",
                                          "ccpubenchmark(\"1\", \"0\", \"1\", \"0\", \"1\")",
                                          "fastest run: ",
                                          " s)",  // how long it took
                                          "cvendorid()",
                                          "QEL Cpu Speed Extender.",
                                          "version      44001"};

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Qelhost,
    testing::Values(
        CliCase{"default_report", {}, 0, kAllTen, {}},
        CliCase{"json_report",
                {"--json"},
                0,
                {"\"version\": 44001", "\"call\": \"cvendorid\"", "\"decoded\": "},
                {}},
        CliCase{"list",
                {"--list"},
                0,
                {"     9  ccpubenchmark           5     2  0x11111", "    10  cvendorid"},
                {}},
        CliCase{"script_good_and_bad_lines",
                {"{script}"},
                1,
                {"cversioninfo(\"0\") = 44001\n",
                 "cversioninfo(\"abc\") -> error 17101 \"17101: Invalid Parameter.\"\n",
                 "cmemstat() = ",
                 "cversioninfo(\" +3\") -> error 17100 \"17100:  Invalid DLL Version\"\n"},
                {".qel:3: no function named nosuchfunction", ".qel:5: missing ')'",
                 ".qel:7: cversioninfo takes 1 argument(s), not 2"}},
        CliCase{"calls_with_semicolons",
                {"-e", "ccpusupt(); cversioninfo(\"9\")"},
                0,
                {"ccpusupt() = 1\n", "cversioninfo(\"9\") -> error 17100"},
                {}},
        CliCase{"bad_call_line_number",
                {"-e", "ccpusupt()\nfoo()"},
                1,
                {"ccpusupt() = 1"},
                {"-e:2: no function named foo"}},
        CliCase{"script_from_stdin", {"-"}, 0, {"cvendorid() = "}, {}, {}, "cvendorid()\n"},
        CliCase{
            "json_error",
            {"--json", "-e", "cversioninfo(abc)"},
            0,
            {"\"status\": \"error\", \"error\": 17101, \"message\": \"17101: Invalid Parameter.\""},
            {}},
        CliCase{"json_problem",
                {"--json", "-e", "x("},
                1,
                {"\"problems\": [", "\"line\": 1, \"problem\": \"missing ')'\""},
                {}},
        CliCase{"box_on_terminal_cancel",
                {"--box", "cancel", "-e", "cversioninfo(1)"},
                0,
                {"cversioninfo(\"1\") = 10"},
                {"Extender Version", "| 1\n", "[ OK ] [ Cancel ]", "-> Cancel"}},
        CliCase{"box_ok_by_default",
                {"-e", "cversioninfo(2)"},
                0,
                {"cversioninfo(\"2\") = 0"},
                {"-> OK"}},
        CliCase{"memory_large_address_aware",
                {"--memory", "3G", "--large-address-aware", "-e", "cmemstat()"},
                0,
                {"cmemstat() = -1073741824\n"},
                {}},
        CliCase{"no_progress_when_piped",
                {"-e", "ccpuspeed(1)"},
                0,
                {"ccpuspeed(\"1\") = "},
                {},
                {"measuring"}},
        CliCase{"missing_dll",
                {"--dll", "/nonexistent/KZPROBEX.dll"},
                1,
                {},
                {"cannot open /nonexistent/KZPROBEX.dll"}},
        CliCase{"environment_dll",
                {"--list"},
                1,
                {},
                {"cannot open /elsewhere/KZPROBEX.dll"},
                {},
                "",
                {{"QELHOST_DLL", "/elsewhere/KZPROBEX.dll"}}},
        CliCase{"unreadable_script",
                {"/nonexistent/script.qel"},
                1,
                {},
                {"cannot read script /nonexistent/script.qel"}},
        CliCase{"help", {"--help"}, 0, {"usage: qelhost", "--cpu NAME", "--zoo"}, {}},
        CliCase{"unknown_option", {"--bogus"}, 2, {}, {"unknown option --bogus"}},
        CliCase{"bad_box", {"--box", "maybe"}, 2, {}, {"--box takes ok or cancel"}},
        CliCase{"e_without_calls", {"-e"}, 2, {}, {"-e needs the calls"}},
        CliCase{"cpu_athlon",
                {"--cpu=athlon", "-e", "cvendorid(); cclonecheck(); ccpuidext()"},
                0,
                {"cvendorid() = 3\n", "cclonecheck() = 1\n", "ccpuidext() = 1571\n"},
                {}},
        // The measuring route: every mode is a call of its own, each measuring anew.
        CliCase{"cpu_pentium3_report",
                {"--cpu", "pentium3"},
                0,
                {"0x0673: type 0, family 6, model 7, stepping 3", "GenuineIntel",
                 "ccpuspeed(\"0\") = ", "ccpuspeed(\"1\") = ", "ccpuspeed(\"2\") = ",
                 "ccpuspeed(\"3\") = ", "measuring route: each call measures anew"},
                {},
                {},
                "",
                {},
                {"the host's own CPUID"}},
        // The one-second route: modes 0 and 1 agree, so one call of mode 3 shows both.
        CliCase{"cpu_athlon_report",
                {"--cpu", "athlon"},
                0,
                {"ccpuspeed(\"3\") = ", " cycles over one second = ",
                 "one-second route: modes 0 and 1 both report cycles / 1000000"},
                {},
                {},
                "",
                {},
                {"ccpuspeed(\"0\")", "ccpuspeed(\"1\")", "ccpuspeed(\"2\")"}},
        // Family 24 and a family-6 model above 15: the 16 bits cannot carry them.
        CliCase{"cpu_hygon_report",
                {"--cpu", "Dhyana"},
                0,
                {"0x0f01: type 0, family 15, model 0, stepping 1",
                 "the host's own CPUID, not the DLL's: 0x00900f01 = family 24 (15 + extended "
                 "9), model 0, stepping 1"},
                {}},
        CliCase{"cpu_haswell_json_report",
                {"--cpu", "Haswell", "--json"},
                0,
                {"\"speed\": {\"route\": \"measuring\", \"modes_0_and_1_equal\": false",
                 "\"host_cpuid\": {\"read_by\": \"host\", \"leaf1_eax\": \"0x000306c4\", "
                 "\"family\": 6, \"model\": 60, \"stepping\": 4",
                 "\"call\": \"ccpubenchmark\"", "\"seconds\": "},
                {}},
        // Processors without CMOV, where qelhost itself could not start: the runner serves.
        CliCase{"cpu_486_report",
                {"--cpu", "486"},
                0,
                {"0x0480: type 0, family 4, model 8, stepping 0", "ccpusupt() = 1"},
                {}},
        CliCase{"cpu_k6_2_by_name_json",
                {"--cpu", "K6-2", "--json", "-e", "cvendorid(); ccpuidext(); cversioninfo(1)"},
                0,
                {"\"value\": 3", "\"value\": 1420", "\"value\": 10"},
                {"Extender Version"}},
        // One message, before qemu is started: neither a catalogue name nor a qemu model.
        CliCase{"cpu_unknown_model",
                {"--cpu", "no-such-chip,vendor=AuthenticAMD", "-e", "ccpuid()"},
                2,
                {},
                {"qelhost: 'no-such-chip' is neither a catalogue name nor a qemu-i386 model: "
                 "qelhost --zoo shows the catalogue, qemu-i386 -cpu help the models\n"},
                {"unable to find CPU model", "cannot load", "runner"}},
        // qemu's model names are case-sensitive, catalogue names are not.
        CliCase{"cpu_model_in_the_wrong_case", {"--cpu", "PENTIUM3"}, 2, {}, {"'PENTIUM3' is"}},
        // The DLL this build made runs unconfined unless asked.
        CliCase{"version",
                {"--version"},
                0,
                {"qelhost 44001.0.0.1\nsandbox: none (", "KZPROBEX.dll 44001 ("},
                {}},
        // Where nothing can confine the DLL, it does not run.
        CliCase{"sandbox_that_cannot_be_had",
                {"--sandbox", "--cpu", "pentium3", "-e", "ccpuid()"},
                2,
                {},
                {"qelhost: the DLL cannot run confined here: $QELHOST_BWRAP (/nonexistent/bwrap) "
                 "is not a program\n"},
                {"ccpuid"},
                "",
                {{"QELHOST_BWRAP", "/nonexistent/bwrap"}},
                {"ccpuid"}},
        CliCase{"version_without_a_dll",
                {"--version", "--dll", "/nonexistent/KZPROBEX.dll"},
                0,
                {"qelhost 44001.0.0.1\n", "KZPROBEX.dll not loaded: /nonexistent/KZPROBEX.dll: "},
                {}},
        // The report builds no runner: --cpu says what to build instead of failing in qemu.
        CliCase{"cpu_without_runner",
                {"--cpu", "486", "-e", "ccpuid()"},
                1,
                {},
                {"the runner /nonexistent/qelhost_runner is not built "
                 "(scripts/bootstrap --runner, then scripts/build qelhost_runner)"},
                {},
                "",
                {{"QELHOST_RUNNER", "/nonexistent/qelhost_runner"}}},
        CliCase{"zoo_with_script", {"--zoo", "-e", "ccpuid()"}, 2, {}, {"--zoo runs every"}}),
    [](const testing::TestParamInfo<CliCase>& info) { return std::string(info.param.label); });

}  // namespace
