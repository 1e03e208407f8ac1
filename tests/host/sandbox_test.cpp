// System calls planted at an export of a copy of the real DLL, each a few instructions ending
// in `int 0x80` and then an INT3: unconfined they act as the user who runs qelhost; under
// --sandbox, in this process and in the runner on an emulated processor, they change nothing
// and end in a message with exit status 1. The sandbox changes no answer of the real DLL.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/dll_file.h"
#include "tests/support/qelhost_run.h"

namespace {

namespace ht = host_test;
using Code = std::vector<uint8_t>;

void Append(Code* code, std::initializer_list<uint8_t> bytes) {
    code->insert(code->end(), bytes);
}

void Append32(Code* code, uint8_t opcode, uint32_t value) {
    Append(code, {opcode, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                  static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
}

// call over the text; pop REG: the register then holds the text's address.
void TextInto(Code* code, const std::string& text, uint8_t pop_register) {
    Append32(code, 0xE8, static_cast<uint32_t>(text.size() + 1));
    code->insert(code->end(), text.begin(), text.end());
    Append(code, {0x00, pop_register});
}

constexpr uint8_t kPopEbx = 0x5B, kPopEcx = 0x59;
constexpr uint8_t kMovEax = 0xB8, kMovEbx = 0xBB, kMovEcx = 0xB9, kMovEdx = 0xBA;

// mov eax, NUMBER; int 0x80; int3
void SystemCall(Code* code, uint32_t number) {
    Append32(code, kMovEax, number);
    Append(code, {0xCD, 0x80, 0xCC});
}

// What a case plants: a folder to create things in, and a descriptor open on a file the
// host never opened (inherited from this test).
struct Target {
    std::string folder;
    int descriptor;
};

struct PlantedSystemCall {
    const char* name;  // as the message names the call
    Code (*code)(const Target& target);
    friend void PrintTo(const PlantedSystemCall& c, std::ostream* out) { *out << c.name; }
};

const PlantedSystemCall kSystemCalls[] = {
    {"open",  // open(FOLDER/f, O_WRONLY | O_CREAT, 0644)
     [](const Target& target) {
         Code code;
         TextInto(&code, target.folder + "/f", kPopEbx);
         Append32(&code, kMovEcx, O_WRONLY | O_CREAT);
         Append32(&code, kMovEdx, 0644);
         SystemCall(&code, 5);
         return code;
     }},
    {"mkdir",  // mkdir(FOLDER/d, 0755)
     [](const Target& target) {
         Code code;
         TextInto(&code, target.folder + "/d", kPopEbx);
         Append32(&code, kMovEcx, 0755);
         SystemCall(&code, 39);
         return code;
     }},
    {"execve",  // execve("/bin/true", NULL, NULL)
     [](const Target&) {
         Code code;
         TextInto(&code, "/bin/true", kPopEbx);
         Append(&code, {0x31, 0xC9, 0x31, 0xD2});  // xor ecx, ecx; xor edx, edx
         SystemCall(&code, 11);
         return code;
     }},
    {"socketcall",  // socket(AF_INET, SOCK_STREAM, 0)
     [](const Target&) {
         Code code;
         Append(&code,
                {0x6A, 0x00, 0x6A, 0x01, 0x6A, 0x02, 0x89, 0xE1});  // push 0, 1, 2; mov ecx, esp
         Append32(&code, kMovEbx, 1);
         SystemCall(&code, 102);
         return code;
     }},
    {"kill",  // kill(1, 0): another process, a harmless signal
     [](const Target&) {
         Code code;
         Append32(&code, kMovEbx, 1);
         Append(&code, {0x31, 0xC9});  // xor ecx, ecx
         SystemCall(&code, 37);
         return code;
     }},
    {"write",  // write(DESCRIPTOR, "planted", 7)
     [](const Target& target) {
         Code code;
         Append32(&code, kMovEbx, static_cast<uint32_t>(target.descriptor));
         TextInto(&code, "planted", kPopEcx);
         Append32(&code, kMovEdx, 7);
         SystemCall(&code, 4);
         return code;
     }},
};

// A fresh folder for the planted calls, and a file open on a descriptor the child inherits.
// (Looked at without stat or readdir, which a 32-bit program under qemu-i386 may see fail
// with EOVERFLOW on a file system with 64-bit inode numbers.)
struct Planting {
    Target target;
    std::string file;

    Planting() {
        std::string pattern = testing::TempDir() + "sandbox_XXXXXX";
        target.folder = mkdtemp(pattern.data()) != nullptr ? pattern : "";
        file = target.folder + ".file";
        target.descriptor = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    }
    ~Planting() {
        close(target.descriptor);
        unlink(file.c_str());
        unlink((target.folder + "/f").c_str());
        rmdir((target.folder + "/d").c_str());
        rmdir(target.folder.c_str());
    }
    bool Made(const char* name) const {
        return access((target.folder + "/" + name).c_str(), F_OK) == 0;
    }
    off_t FileSize() const { return lseek(target.descriptor, 0, SEEK_END); }
};

std::string DllWith(const Code& code, const char* name) {
    ht::Bytes bytes = ht::DllBytes();
    std::copy(code.begin(), code.end(),
              bytes.begin() + ht::FileOffsetOfRva(ht::ExportRva("_QELExtender2@40")));
    return ht::WriteTemporary(bytes, name);
}

// The arguments that run the DLL in the runner on an emulated processor, or in this process.
std::vector<std::string> WhereArguments(bool emulated) {
    return emulated ? std::vector<std::string>{"--cpu", "pentium3"} : std::vector<std::string>{};
}

// The confinement --version names, or "" with *why where the sandbox cannot be had: none
// applies, or the DLL does not load inside it (a kernel that allows bubblewrap no namespaces).
std::string ConfinementOf(bool emulated, std::string* why) {
    std::vector<std::string> arguments = WhereArguments(emulated);
    arguments.insert(arguments.end(), {"--sandbox", "--version"});
    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, arguments);
    std::smatch line;
    if (run.exit_status == 0 && run.out.find("KZPROBEX.dll 44001 (") != std::string::npos &&
        std::regex_search(run.out, line, std::regex("sandbox: (.*)\n")))
        return line[1];
    *why = run.out + run.err;
    return {};
}

bool RunnerBuilt() {
    return !std::string(QEL_RUNNER_PROGRAM).empty() && access(QEL_RUNNER_PROGRAM, X_OK) == 0;
}

class PlantedSystemCalls
    : public testing::TestWithParam<std::tuple<PlantedSystemCall, bool /*emulated*/>> {};

TEST_P(PlantedSystemCalls, UnderTheSandboxChangeNothingAndEndInAMessage) {
    const auto& [call, emulated] = GetParam();
    if (emulated && !RunnerBuilt())
        GTEST_SKIP() << "no runner in this build";
    std::string why;
    const std::string confinement = ConfinementOf(emulated, &why);
    if (confinement.empty())
        GTEST_SKIP() << "no sandbox here: " << why;
    Planting planting;
    ASSERT_FALSE(planting.target.folder.empty());
    const std::string dll = DllWith(call.code(planting.target), "planted_call.dll");
    std::vector<std::string> arguments = WhereArguments(emulated);
    arguments.insert(arguments.end(),
                     {"--sandbox", "--timeout", "5", "--dll", dll, "-e", "ccpuid"});

    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, arguments);
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("qelhost: "), std::string::npos) << run.err;
    EXPECT_FALSE(planting.Made("f")) << run.err;
    EXPECT_FALSE(planting.Made("d")) << run.err;
    EXPECT_EQ(planting.FileSize(), 0) << run.err;
    // Filtered in this process, the call itself is named where it was made.
    if (confinement.find("seccomp") != std::string::npos) {
        EXPECT_NE(run.err.find(std::string("made a system call (") + call.name + ") at RVA 0x"),
                  std::string::npos)
            << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, PlantedSystemCalls, testing::Combine(testing::ValuesIn(kSystemCalls), testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<PlantedSystemCall, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_in_the_runner" : "_in_process");
    });

// The same planted mkdir without the sandbox creates the folder: the plant works, and
// --no-sandbox is the host as it was.
TEST(PlantedSystemCallsUnconfined, ActAsTheUser) {
    Planting planting;
    ASSERT_FALSE(planting.target.folder.empty());
    const std::string dll = DllWith(kSystemCalls[1].code(planting.target), "planted_mkdir.dll");
    const ht::HostRun run =
        ht::RunQelhost(QELHOST_RUNNER, {"--no-sandbox", "--dll", dll, "-e", "ccpuid"});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("breakpoint, INT3 (SIGTRAP)"), std::string::npos) << run.err;
    EXPECT_TRUE(planting.Made("d")) << run.err;
}

// The survey loads the DLL in qelhost's own process for each listing: confined, a planted
// mkdir there changes nothing either, and the survey still says what the DLL did.
TEST(PlantedSystemCallsInTheSurvey, ChangeNothing) {
    std::string why;
    if (ConfinementOf(false, &why).empty())
        GTEST_SKIP() << "no sandbox here: " << why;
    Planting planting;
    ASSERT_FALSE(planting.target.folder.empty());
    const std::string dll = DllWith(kSystemCalls[1].code(planting.target), "planted_mkdir.dll");
    const std::string listing = ht::WriteTemporary({}, "survey.cpuid");
    std::ofstream(listing) << "kzprobex-cpuid-dump 1\n"
                              "00000000 00000000 00000001 756e6547 6c65746e 49656e69\n"
                              "00000001 00000000 00000673 00000000 00000000 0383f9ff\n";
    const ht::HostRun run = ht::RunQelhost(
        QELHOST_RUNNER, {"--sandbox", "--zoo", "--cpuid", listing, "--dll", dll, "--version"});
    EXPECT_NE(run.out.find("sandbox: bubblewrap around this host"), std::string::npos) << run.out;
    const ht::HostRun survey =
        ht::RunQelhost(QELHOST_RUNNER, {"--sandbox", "--zoo", "--cpuid", listing, "--dll", dll});
    EXPECT_EQ(survey.exit_status, 1) << survey.err;
    EXPECT_NE(survey.err.find("breakpoint, INT3 (SIGTRAP)"), std::string::npos) << survey.err;
    EXPECT_FALSE(planting.Made("d")) << survey.err;
}

// Timed values (a clock rate, a benchmark's milliseconds) compared by shape only.
std::string Shape(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9]+"), "#");
}

struct SameAnswersCase {
    const char* label;
    std::vector<std::string> arguments;
    bool timed;  // the output holds timed values
    bool emulated;
    friend void PrintTo(const SameAnswersCase& c, std::ostream* out) { *out << c.label; }
};

const SameAnswersCase kSameAnswers[] = {
    {"ten_functions_in_process",
     {"-e",
      "cversioninfo(0); ccpuid(); ccpufeat(); ccpuidext(); ccpusupt(); cmemstat(); "
      "cclonecheck(); cvendorid(); cversioninfo(1); ccpuspeed(2); ccpubenchmark(1,0,1,0,1)"},
     true,
     false},
    // Scripted clocks: every catalogue processor's answers are exact.
    {"every_catalogue_processor", {"--zoo"}, false, true},
};

class SandboxedAnswers : public testing::TestWithParam<SameAnswersCase> {};

TEST_P(SandboxedAnswers, AreTheUnconfinedOnes) {
    const SameAnswersCase& c = GetParam();
    if (c.emulated && !RunnerBuilt())
        GTEST_SKIP() << "no runner in this build";
    std::string why;
    if (ConfinementOf(c.emulated, &why).empty())
        GTEST_SKIP() << "no sandbox here: " << why;
    std::vector<std::string> unconfined = {"--no-sandbox"}, confined = {"--sandbox"};
    unconfined.insert(unconfined.end(), c.arguments.begin(), c.arguments.end());
    confined.insert(confined.end(), c.arguments.begin(), c.arguments.end());
    const ht::HostRun expected = ht::RunQelhost(QELHOST_RUNNER, unconfined);
    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, confined);
    ASSERT_EQ(expected.exit_status, 0) << expected.err;
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(c.timed ? Shape(run.out) : run.out, c.timed ? Shape(expected.out) : expected.out);
    EXPECT_EQ(run.err, expected.err);
}

INSTANTIATE_TEST_SUITE_P(Runs, SandboxedAnswers, testing::ValuesIn(kSameAnswers),
                         [](const testing::TestParamInfo<SameAnswersCase>& info) {
                             return std::string(info.param.label);
                         });

}  // namespace
