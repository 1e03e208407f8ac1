// The same command lines through qelhost.exe under Wine (the system's loader and Win32 calls)
// and through the Linux qelhost (our loader and emulation), on the same machine: the exit
// status, every output line and every message must agree. Values that depend on timing are
// compared by shape, and a loader's reason for refusing a damaged DLL is its own.
#include <gtest/gtest.h>

#include <algorithm>
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

std::vector<std::string> ShapeLines(const std::string& text, const std::string& dll) {
    std::vector<std::string> lines;
    std::istringstream stream(ReplaceAll(ReplaceAll(text, AsWinePath(dll), "<DLL>"), dll, "<DLL>"));
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(Shape(line));
    }
    return lines;
}

void ExpectSameLines(const std::string& stream, const std::string& linux_text,
                     const std::string& wine_text, const std::string& dll) {
    const std::vector<std::string> linux_lines = ShapeLines(linux_text, dll);
    const std::vector<std::string> wine_lines = ShapeLines(wine_text, dll);
    for (size_t index = 0; index < std::max(linux_lines.size(), wine_lines.size()); ++index) {
        const std::string linux_line = index < linux_lines.size() ? linux_lines[index] : "(none)";
        const std::string wine_line = index < wine_lines.size() ? wine_lines[index] : "(none)";
        EXPECT_EQ(linux_line, wine_line) << stream << " line " << index + 1;
    }
}

class Parity : public testing::TestWithParam<ParityCase> {};

TEST_P(Parity, SameAnswersUnderWineAndInTheLinuxHost) {
    const ParityCase& c = GetParam();
    const std::string dll = DllFor(c);
    const std::string script = ht::WriteTemporary(ht::Bytes(c.script.begin(), c.script.end()),
                                                  std::string(c.label) + ".qel");
    std::vector<std::string> arguments = {"--dll", dll};
    for (const std::string& argument : c.arguments)
        arguments.push_back(argument == "{script}" ? script : argument);
    std::vector<std::string> wine_arguments = {WINE_STATE, QELHOST_EXE};
    wine_arguments.insert(wine_arguments.end(), arguments.begin(), arguments.end());

    const ht::HostRun on_linux = ht::RunQelhost(QELHOST_RUNNER, arguments, c.input);
    const ht::HostRun under_wine = ht::RunQelhost(RUN_WINE, wine_arguments, c.input);
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
    ExpectSameLines("stdout", on_linux.out, under_wine.out, dll);
    ExpectSameLines("stderr", on_linux.err, under_wine.err, dll);
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
                   kEndlessRecursion}),
    [](const testing::TestParamInfo<ParityCase>& info) { return std::string(info.param.label); });

}  // namespace
