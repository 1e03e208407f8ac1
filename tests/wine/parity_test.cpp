// The same command lines through qelhost.exe under Wine (the system's loader and Win32 calls)
// and through the Linux qelhost (our loader and emulation), on the same machine: the exit
// status, every output line and every message must agree. Values that depend on timing are
// compared by shape, and a loader's reason for refusing a damaged DLL is its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <sstream>

#include "tests/support/dll_file.h"
#include "tests/support/qelhost_run.h"

namespace {

namespace ht = host_test;

// Every function, and each argument-check edge of the three that take numbers.
const char* const kEdgeScript = R"(# each function, then the numeric check's edges
cversioninfo(0)
ccpuid()
ccpufeat()
ccpuidext()
ccpuspeed(3)
ccpusupt()
cmemstat()
cclonecheck()
ccpubenchmark(1, 3, 1, 0, 1)
cvendorid()
cversioninfo(" +0")
cversioninfo("-")
cversioninfo(" ")
cversioninfo("007")
cversioninfo(4294967296)
cversioninfo(2147483648)
cversioninfo(3)
cversioninfo(-1)
cversioninfo("1 ")
cversioninfo(1.5)
cversioninfo("- 1")
cversioninfo(--1)
cversioninfo(0x10)
cversioninfo(12a)
cversioninfo("")
cversioninfo()
ccpuspeed()
ccpuspeed("")
ccpuspeed(fast)
ccpuspeed(1.5)
ccpuspeed("-")
ccpubenchmark(1, 5, 0, 0, 1)
ccpubenchmark(1, 5, 0, 1000, 1)
ccpubenchmark(1, -1, 0, 0, 1)
ccpubenchmark(1, " 2", 0, 0, 1)
ccpubenchmark(abc, 0, 1, 0, 1)
ccpubenchmark(1, 0, 1, 0, "")
ccpubenchmark(1, 3, 1, 0)
ccpuid(1, 2)
ccpuid("anything")
CVENDORID()
)";

// Lines the script parser and the argument counts refuse, between good ones.
const char* const kBadLinesScript = R"(cversioninfo(0)
nosuchfunction(1)
ccpuid(
cversioninfo(1, 2)
ccpubenchmark(1, 2, 3, 4, 5, 6)
cvendorid()
)";

// Dumps the virtual processor answers from, one of each listing it reads. Our own format:
// an AMD K6-2 (libcpuid tests/amd/k6/amd-k6-2-chomper.test), a clone, so the one-second route.
const char* const kK62Dump =
    "kzprobex-cpuid-dump 1\n"
    "00000000 00000000 00000001 68747541 444d4163 69746e65\n"
    "00000001 00000000 00000580 00000000 00000000 008001bf\n"
    "80000000 00000000 80000005 00000000 00000000 00000000\n"
    "80000001 00000000 00000680 00000000 00000000 808009bf\n";
// Our own format: a Pentium III (InstLatx64), Intel, so the measuring route.
const char* const kPentium3Dump =
    "kzprobex-cpuid-dump 1\n"
    "# leaf    subleaf  eax      ebx      ecx      edx\n"
    "00000000 00000000 00000003 756e6547 6c65746e 49656e69\n"
    "00000001 00000000 00000673 00000000 00000000 0387fbff\n"
    "00000002 00000000 03020101 00000000 00000000 0c040843\n"
    "00000003 00000000 00000000 00000000 4cecc782 00006778\n";
// An AIDA64 listing (libcpuid tests/intel/core_13th_gen/raptor-lake-p-i7.test, shortened):
// [SL nn] subleaves, comments in brackets, a second processor that is not read, CRLF.
const char* const kRaptorListing =
    "------[ CPUID Registers / Logical CPU #0 ]------\r\n"
    "CPUID 00000000: 00000020-756E6547-6C65746E-49656E69 [GenuineIntel]\r\n"
    "CPUID 00000001: 000B06A2-00800800-7FFAFBFF-BFEBFBFF\r\n"
    "CPUID 00000004: FC004121-02C0003F-0000003F-00000000 [SL 00] [L1D: 48 KB]\r\n"
    "CPUID 00000004: FC004122-01C0003F-0000003F-00000000 [SL 01] [L1I: 32 KB]\r\n"
    "CPUID 00000016: 00000898-00001450-00000064-00000000 [2200 / 5200 / 100]\r\n"
    "------[ CPUID Registers / Logical CPU #1 ]------\r\n"
    "CPUID 00000001: 000B06A2-01800800-7FFAFBFF-BFEBFBFF\r\n";
// libcpuid's raw format: a Hygon Dhyana (hygon/dhyana/hygon-c86-7185-32-core-processor),
// neither Intel nor a clone.
const char* const kDhyanaRaw =
    "basic_cpuid[0]=0000000d 6f677948 656e6975 6e65476e\n"
    "basic_cpuid[1]=00900f01 3e400800 7cd83209 178bfbff\n"
    "ext_cpuid[0]=8000001f 6f677948 656e6975 6e65476e\n";
// A listing whose third record is cut short.
const char* const kMalformedListing =
    "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
    "CPUID 00000001: 0000058C-00000000-00000000-008021BF\n"
    "CPUID 80000000: 80000005-00000000\n";
const char* const kIdentification =
    "ccpusupt(); ccpuid(); ccpuidext(); ccpufeat(); cvendorid(); cclonecheck()";

enum class Dll {
    kBuilt,
    kMissing,
    kTruncatedHeaders,
    kNoMz,
    kTruncatedSections,
    kNoExport,
    kLastSectionShort,  // the file ends 16 bytes short of its last section's data
    kPlanted,           // the case's code at the start of one export
};

// Faults planted at the start of an export.
const char* const kQuery = "_QELExtenderQuery@12";
const char* const kDispatch = "_QELExtender2@40";
const ht::Bytes kWriteToZero = {0x31, 0xC0, 0x89, 0x00};   // xor eax, eax; mov [eax], eax
const ht::Bytes kJumpToZero = {0x31, 0xC0, 0xFF, 0xE0};    // xor eax, eax; jmp eax
const ht::Bytes kDivideByZero = {0x31, 0xC0, 0xF7, 0xF0};  // xor eax, eax; div eax
const ht::Bytes kInt3 = {0xCC};
const ht::Bytes kUd2 = {0x0F, 0x0B};
const ht::Bytes kSyscall = {0x0F, 0x05};  // no 80386 instruction
const ht::Bytes kTrapFlag = {0x9C, 0x81, 0x0C, 0x24, 0x00, 0x01, 0x00, 0x00, 0x9D, 0x90};
const ht::Bytes kEndlessRecursion = {0xE8, 0xFB, 0xFF, 0xFF, 0xFF};  // call $

struct ParityCase {
    const char* label;
    std::vector<std::string> arguments;  // "{script}" stands for a file with `script`
    std::string script = "";
    Dll dll = Dll::kBuilt;
    std::string input = "";
    const char* planted_in = nullptr;  // for Dll::kPlanted
    ht::Bytes planted = {};
    std::string dump = "";  // a file with it stands for "{dump}"
    // Lines both hosts print exactly: the model's answers, where plain parity would also
    // hold if both ignored the model.
    std::vector<std::string> both_show = {};
    // The clock rate ccpuspeed("1") shows in both: on the measuring route exactly in one of
    // the calls and never less in any; over the one-second route at least that, and no more
    // than the cycles of the whole run.
    unsigned clock_mhz = 0;
    bool one_second_route = false;
    friend void PrintTo(const ParityCase& c, std::ostream* out) { *out << c.label; }
};

// A copy of the DLL damaged as the case says, or a path where nothing is.
std::string DllFor(const ParityCase& c) {
    ht::Bytes bytes = ht::DllBytes();
    switch (c.dll) {
        case Dll::kBuilt:
            return KZPROBEX_DLL_PATH;
        case Dll::kMissing:
            return ht::WriteTemporary({}, "parity_missing_dir") + "/KZPROBEX.dll";
        case Dll::kTruncatedHeaders:
            bytes.resize(100);
            break;
        case Dll::kNoMz:
            bytes[0] = 'X';
            break;
        case Dll::kTruncatedSections:
        case Dll::kLastSectionShort: {
            // Cut 16 bytes before the last section's data in the file begins (into the
            // section before it), or 16 bytes before that data ends.
            uint32_t last_start = 0, last_end = 0;
            for (const qel::Section& section : ht::DllHeaders().sections) {
                if (section.raw_size != 0 && section.raw_offset > last_start) {
                    last_start = section.raw_offset;
                    last_end = section.raw_offset + section.raw_size;
                }
            }
            bytes.resize(c.dll == Dll::kTruncatedSections ? last_start - 16 : last_end - 16);
            break;
        }
        case Dll::kNoExport: {
            // The dispatch export's name in the export table, one letter changed.
            bytes[ht::OffsetOfText(kDispatch) + 1] = 'X';
            break;
        }
        case Dll::kPlanted:
            std::copy(c.planted.begin(), c.planted.end(),
                      bytes.begin() + ht::FileOffsetOfRva(ht::ExportRva(c.planted_in)));
            break;
    }
    return ht::WriteTemporary(bytes, std::string("parity_") + c.label + ".dll");
}

// What Wine's qelhost.exe prints for a Linux path: the same path on drive Z:.
std::string AsWinePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A line as the two hosts must agree on it: the DLL's path as <DLL>, blanks collapsed (the
// report's columns are as wide as its widest value), digits of timed calls as '#', and what
// is each system's own left out: a loader's reason for refusing a DLL, and the name a fault
// has there (SIGSEGV, EXCEPTION_ACCESS_VIOLATION).
std::string Shape(std::string line) {
    static const std::regex fault_code("\\((SIG[A-Z]+|EXCEPTION_[A-Z_]+)\\)");
    line = std::regex_replace(line, fault_code, "(<fault code>)");
    static const std::regex blanks(" +");
    static const std::regex digits("[0-9]+");
    static const std::regex timed("ccpuspeed|ccpubenchmark|cycles over|fastest run|\"seconds\"");
    static const std::regex refusal("(qelhost: cannot load <DLL>): .*");
    line = std::regex_replace(line, blanks, " ");
    if (std::regex_search(line, timed))
        line = std::regex_replace(line, digits, "#");
    return std::regex_replace(line, refusal, "$1: <the loader's reason>");
}

// The text with each path (as given, or as Wine names it) replaced by its label.
using PathLabels = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> ShapeLines(std::string text, const PathLabels& paths) {
    for (const auto& [path, label] : paths)
        text = ReplaceAll(ReplaceAll(text, AsWinePath(path), label), path, label);
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(Shape(line));
    }
    return lines;
}

void ExpectSameLines(const std::string& stream, const std::string& linux_text,
                     const std::string& wine_text, const PathLabels& paths) {
    const std::vector<std::string> linux_lines = ShapeLines(linux_text, paths);
    const std::vector<std::string> wine_lines = ShapeLines(wine_text, paths);
    for (size_t index = 0; index < std::max(linux_lines.size(), wine_lines.size()); ++index) {
        const std::string linux_line = index < linux_lines.size() ? linux_lines[index] : "(none)";
        const std::string wine_line = index < wine_lines.size() ? wine_lines[index] : "(none)";
        EXPECT_EQ(linux_line, wine_line) << stream << " line " << index + 1;
    }
}

struct TimedRun : ht::HostRun {
    double seconds = 0;
};

TimedRun RunTimed(const std::string& launcher, const std::vector<std::string>& arguments,
                  const std::string& input = "") {
    const auto start = std::chrono::steady_clock::now();
    TimedRun run{ht::RunQelhost(launcher, arguments, input)};
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

void ExpectClockRate(const ParityCase& c, const TimedRun& run) {
    static const std::regex figure("ccpuspeed\\(\"1\"\\) = ([0-9]+)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(run.out, match, figure)) << run.out;
    if (!c.one_second_route) {
        // A run whose 10000 counts the scheduler stretches past 42949 (4.295 ms) wraps the
        // DLL's counts x 100000 and reads at least twice the rate; a call gives up with such
        // runs among its last three when 20 runs never show three clean ones in a row. So on
        // a loaded machine a call may read high, never low, and one of a few reads exactly.
        bool exact = false;
        for (auto at = std::sregex_iterator(run.out.begin(), run.out.end(), figure);
             at != std::sregex_iterator(); ++at) {
            const unsigned long mhz = std::stoul((*at)[1]);
            EXPECT_GE(mhz, c.clock_mhz) << run.out;
            exact = exact || mhz == c.clock_mhz;
        }
        EXPECT_TRUE(exact) << run.out;
        return;
    }
    const double mhz = std::stod(match[1]);
    // Just over 1000 ms of the session's clock, longer where the machine is loaded.
    EXPECT_GE(mhz, c.clock_mhz) << run.out;
    EXPECT_LE(mhz, c.clock_mhz * std::max(run.seconds, 1.0) + 1) << run.out;
}

class Parity : public testing::TestWithParam<ParityCase> {};

TEST_P(Parity, SameAnswersUnderWineAndInTheLinuxHost) {
    const ParityCase& c = GetParam();
    const std::string dll = DllFor(c);
    const std::string script = ht::WriteTemporary(ht::Bytes(c.script.begin(), c.script.end()),
                                                  std::string(c.label) + ".qel");
    const std::string dump = ht::WriteTemporary(ht::Bytes(c.dump.begin(), c.dump.end()),
                                                std::string(c.label) + ".cpuid");
    std::vector<std::string> arguments = {"--dll", dll};
    for (const std::string& argument : c.arguments)
        arguments.push_back(argument == "{script}" ? script
                            : argument == "{dump}" ? dump
                                                   : argument);
    std::vector<std::string> wine_arguments = {WINE_STATE, QELHOST_EXE};
    wine_arguments.insert(wine_arguments.end(), arguments.begin(), arguments.end());

    const TimedRun on_linux = RunTimed(QELHOST_RUNNER, arguments, c.input);
    const TimedRun under_wine = RunTimed(RUN_WINE, wine_arguments, c.input);
    if (c.dll == Dll::kLastSectionShort) {
        // Wine maps what the file holds of the last section and loads it; our loader, like
        // Windows, refuses a section whose data lies beyond the end of the file.
        EXPECT_EQ(on_linux.exit_status, 1);
        EXPECT_NE(on_linux.err.find("data lies beyond the end of the file"), std::string::npos)
            << on_linux.err;
        EXPECT_EQ(under_wine.exit_status, 0) << under_wine.err;
        return;
    }
    EXPECT_EQ(on_linux.exit_status, under_wine.exit_status) << "Linux:\n"
                                                            << on_linux.err << "Wine:\n"
                                                            << under_wine.err;
    const PathLabels paths = {{dll, "<DLL>"}, {dump, "<DUMP>"}};
    ExpectSameLines("stdout", on_linux.out, under_wine.out, paths);
    ExpectSameLines("stderr", on_linux.err, under_wine.err, paths);
    for (const TimedRun* run : {&on_linux, &under_wine}) {
        const std::string out = ReplaceAll(run->out, "\r\n", "\n");
        for (const std::string& line : c.both_show)
            EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;
        if (c.clock_mhz != 0)
            ExpectClockRate(c, *run);
    }
    if (c.dll != Dll::kBuilt && c.dll != Dll::kPlanted) {  // refused by both, with a reason
        EXPECT_EQ(under_wine.exit_status, 1);
        EXPECT_NE(under_wine.err.find("qelhost: cannot load "), std::string::npos)
            << under_wine.err;
        EXPECT_EQ(under_wine.err.find("%1"), std::string::npos) << under_wine.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Parity,
    testing::Values(
        ParityCase{"report", {}}, ParityCase{"list", {"--list"}},
        ParityCase{"list_json", {"--list", "--json"}},
        ParityCase{"edges", {"{script}"}, kEdgeScript},
        ParityCase{"edges_json", {"--json", "{script}"}, kEdgeScript},
        ParityCase{"bad_lines", {"{script}"}, kBadLinesScript},
        ParityCase{"bad_lines_json", {"--json", "{script}"}, kBadLinesScript},
        ParityCase{"calls_from_stdin", {"-"}, "", Dll::kBuilt, "ccpusupt()\nx(\n"},
        ParityCase{"calls_on_the_command_line", {"-e", "cvendorid(); ccpuid"}},
        ParityCase{"unreadable_script", {"/nonexistent/script.qel"}},
        ParityCase{"help", {"--help"}}, ParityCase{"unknown_option", {"--bogus"}},
        ParityCase{"e_without_calls", {"-e"}},
        ParityCase{"script_and_calls", {"{script}", "-e", "ccpuid()"}, "ccpuid()"},
        ParityCase{"bad_timeout", {"--timeout", "0"}},
        ParityCase{"missing_dll", {"--list"}, "", Dll::kMissing},
        ParityCase{"truncated_headers", {"--list"}, "", Dll::kTruncatedHeaders},
        ParityCase{"no_mz_signature", {"--list"}, "", Dll::kNoMz},
        ParityCase{"truncated_sections", {"--list"}, "", Dll::kTruncatedSections},
        ParityCase{"renamed_export", {"--list"}, "", Dll::kNoExport},
        ParityCase{"last_section_short", {"--list"}, "", Dll::kLastSectionShort},
        ParityCase{
            "fault_while_setting_up", {"--list"}, "", Dll::kPlanted, "", kQuery, kWriteToZero},
        ParityCase{"write_to_zero",
                   {"-e", "ccpuid; cvendorid"},
                   "",
                   Dll::kPlanted,
                   "",
                   kDispatch,
                   kWriteToZero},
        ParityCase{"jump_to_zero",
                   {"-e", "ccpuid; cvendorid"},
                   "",
                   Dll::kPlanted,
                   "",
                   kDispatch,
                   kJumpToZero},
        ParityCase{"division_by_zero",
                   {"-e", "ccpuid; cvendorid"},
                   "",
                   Dll::kPlanted,
                   "",
                   kDispatch,
                   kDivideByZero},
        ParityCase{
            "int3", {"--json", "-e", "ccpuid; cvendorid"}, "", Dll::kPlanted, "", kDispatch, kInt3},
        ParityCase{"illegal_instruction",
                   {"-e", "ccpuid; cvendorid"},
                   "",
                   Dll::kPlanted,
                   "",
                   kDispatch,
                   kUd2},
        ParityCase{
            "trap_flag", {"-e", "ccpuid; cvendorid"}, "", Dll::kPlanted, "", kDispatch, kTrapFlag},
        ParityCase{"stack_overflow",
                   {"-e", "ccpuid"},
                   "",
                   Dll::kPlanted,
                   "",
                   kDispatch,
                   kEndlessRecursion},
        // The virtual processor: a dump of each listing it reads, both speed routes at a set
        // clock rate, catalogue chips (in the Linux host on qemu's instruction set, in
        // qelhost.exe on this machine's), a planted UD2 among the served sites, and a code
        // section that does not decode refused by both.
        ParityCase{.label = "cpuid_own_format_report",
                   .arguments = {"--cpuid", "{dump}"},
                   .dump = kPentium3Dump},
        ParityCase{.label = "cpuid_aida64_listing",
                   .arguments = {"--json", "--cpuid", "{dump}", "-e", kIdentification},
                   .dump = kRaptorListing},
        ParityCase{.label = "cpuid_libcpuid_raw",
                   .arguments = {"--cpuid", "{dump}", "-e", kIdentification},
                   .dump = kDhyanaRaw,
                   .both_show = {"ccpuid() = 15\n", "ccpuidext() = 3841\n", "cvendorid() = 0\n"}},
        ParityCase{.label = "cpuid_malformed_listing",
                   .arguments = {"--cpuid", "{dump}"},
                   .dump = kMalformedListing},
        ParityCase{.label = "clock_rate_on_the_measuring_route",
                   .arguments = {"--cpuid", "{dump}", "--clock-mhz", "350", "-e",
                                 "ccpuspeed(1); ccpuspeed(1); ccpuspeed(1); ccpuspeed(0)"},
                   .dump = kPentium3Dump,
                   .clock_mhz = 350},
        ParityCase{.label = "clock_rate_on_the_one_second_route",
                   .arguments = {"--cpuid", "{dump}", "--clock-mhz", "350", "-e", "ccpuspeed(1)"},
                   .dump = kK62Dump,
                   .clock_mhz = 350,
                   .one_second_route = true},
        ParityCase{.label = "clock_rate_alone",
                   .arguments = {"--clock-mhz", "116.667", "-e", "ccpuid(); ccpuspeed(2)"}},
        ParityCase{.label = "catalogue_chip_report",
                   .arguments = {"--cpu", "pentium-mmx"},
                   .clock_mhz = 200},
        ParityCase{.label = "catalogue_clone",
                   .arguments = {"--cpu", "k6-2", "-e",
                                 "ccpufeat(); ccpuidext(); cvendorid(); ccpuspeed(1)"},
                   .both_show = {"ccpufeat() = 8397247\n"},
                   .clock_mhz = 450,
                   .one_second_route = true},
        ParityCase{.label = "catalogue_chip_without_time_stamp_counter",
                   .arguments = {"--cpu", "486dx4", "-e",
                                 "ccpuspeed(1); ccpuspeed(3); ccpubenchmark(1, 3, 100000, 0, 1)"},
                   .both_show = {"ccpuspeed(\"1\") = 100\n", "ccpuspeed(\"3\") = 188000\n"}},
        ParityCase{.label = "catalogue_chip_with_a_dump",
                   .arguments = {"--cpu", "k6-2", "--cpuid", "{dump}", "-e", kIdentification},
                   .dump = kDhyanaRaw},
        ParityCase{.label = "illegal_instruction_among_served_sites",
                   .arguments = {"--clock-mhz", "100", "-e", "ccpuid; cvendorid"},
                   .dll = Dll::kPlanted,
                   .planted_in = kDispatch,
                   .planted = kUd2},
        ParityCase{.label = "code_that_is_not_80386",
                   .arguments = {"--cpu", "k6-2", "--list"},
                   .dll = Dll::kPlanted,
                   .planted_in = kQuery,
                   .planted = kSyscall}),
    [](const testing::TestParamInfo<ParityCase>& info) { return std::string(info.param.label); });

// This machine's leaves saved by each host and replayed by the other identify it as it is:
// the writer and the reader agree across the two builds. (The files themselves differ by the
// APIC ID of the core each process ran on, and a leaf that answers zeros there is left out.)
TEST(SavedCpuid, EachHostReplaysWhatTheOtherSaved) {
    const std::string saved_on_linux = testing::TempDir() + "saved_on_linux.cpuid";
    const std::string saved_under_wine = testing::TempDir() + "saved_under_wine.cpuid";
    const ht::HostRun linux_save = ht::RunQelhost(QELHOST_RUNNER, {"--save-cpuid", saved_on_linux});
    const ht::HostRun wine_save =
        ht::RunQelhost(RUN_WINE, {WINE_STATE, QELHOST_EXE, "--save-cpuid", saved_under_wine});
    ASSERT_EQ(linux_save.exit_status, 0) << linux_save.err;
    ASSERT_EQ(wine_save.exit_status, 0) << wine_save.err;
    const ht::HostRun real = ht::RunQelhost(QELHOST_RUNNER, {"-e", kIdentification});
    const ht::HostRun replayed_on_linux = ht::RunQelhost(
        QELHOST_RUNNER,
        {"--cpuid", saved_under_wine, "--dll", KZPROBEX_DLL_PATH, "-e", kIdentification});
    const ht::HostRun replayed_under_wine =
        ht::RunQelhost(RUN_WINE, {WINE_STATE, QELHOST_EXE, "--cpuid", saved_on_linux, "--dll",
                                  KZPROBEX_DLL_PATH, "-e", kIdentification});
    ASSERT_EQ(real.exit_status, 0) << real.err;
    EXPECT_EQ(replayed_on_linux.out, real.out) << replayed_on_linux.err;
    EXPECT_EQ(ShapeLines(replayed_under_wine.out, {}), ShapeLines(real.out, {}))
        << replayed_under_wine.err;
}

// Without qemu, qelhost.exe keeps this machine's instruction set: a qemu model is refused
// by name where the Linux host would run it.
TEST(CpuOption, QelhostExeTakesCatalogueNamesOnly) {
    const ht::HostRun run = ht::RunQelhost(
        RUN_WINE, {WINE_STATE, QELHOST_EXE, "--dll", KZPROBEX_DLL_PATH, "--cpu", "pentium3"});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find("'pentium3' is not a catalogue name"), std::string::npos) << run.err;
}

}  // namespace
