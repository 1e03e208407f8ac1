// The virtual processor through qelhost and the real DLL: a catalogue chip's recorded CPUID,
// a replayed dump (--cpuid), a set clock rate (--clock-mhz), this machine's leaves saved and
// replayed, and the load refused where a code section does not decode as 80386 code.
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "host/loader/image_directories.h"
#include "host/loader/mapped_image.h"
#include "host/win32/win32_api.h"
#include "tests/support/dll_file.h"
#include "tests/support/qelhost_run.h"

namespace {

namespace ht = host_test;

std::string WriteText(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// libcpuid's raw format: leaves 0 and 1 of its hygon/dhyana/hygon-c86-7185-32-core-processor
// test file (EAX EBX ECX EDX), leaf 0 spelling "HygonGenuine".
const char* const kLibcpuidRawDump =
    "basic_cpuid[0]=0000000d 6f677948 656e6975 6e65476e\n"
    "basic_cpuid[1]=00900f01 3e400800 7cd83209 178bfbff\n"
    "ext_cpuid[0]=8000001f 6f677948 656e6975 6e65476e\n";
const char* const kIdentification =
    "ccpusupt(); ccpuid(); ccpuidext(); ccpufeat(); cvendorid(); cclonecheck()";
const std::vector<std::string> kHygonAnswers = {"ccpusupt() = 1\n",     "ccpuid() = 15\n",
                                                "ccpuidext() = 3841\n", "ccpufeat() = 395049983\n",
                                                "cvendorid() = 0\n",    "cclonecheck() = 0\n"};

// A dump in the "CPUID xxxxxxxx:" format whose third line is broken.
const char* const kMalformedDump =
    "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
    "CPUID 00000001: 0000058C-00000000-00000000-008021BF\n"
    "CPUID 80000000: 80000005-00000000\n";

// Two processors one after another without a heading, as some listings put them: a K6-2,
// then the Hygon above.
const char* const kTwoProcessorListing =
    "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
    "CPUID 00000001: 0000058C-00000000-00000000-008021BF\n"
    "\n"
    "CPUID 00000000: 0000000D-6F677948-656E6975-6E65476E\n"
    "CPUID 00000001: 00900F01-3E400800-7CD83209-178BFBFF\n"
    "CPUID 80000000: 8000001F-6F677948-656E6975-6E65476E\n";

struct VirtualCase {
    const char* label;
    std::vector<std::string> arguments;  // "{raw}", "{malformed}", "{two}": the dumps above
    int exit_status;
    std::vector<std::string> out_has;
    std::vector<std::string> err_has;
    friend void PrintTo(const VirtualCase& c, std::ostream* out) { *out << c.label; }
};

const VirtualCase kCases[] = {
    {"catalogue_chip_answers_its_recorded_leaf_1",
     {"--cpu", "k6-2", "-e", "ccpufeat(); ccpuidext(); cvendorid()"},
     0,
     {"ccpufeat() = 8397247\n", "ccpuidext() = 1420\n", "cvendorid() = 3\n"},
     {}},
    // The scan loop against the modelled performance counter takes the chip's own time.
    {"chip_without_time_stamp_counter_runs_at_its_clock_rate",
     {"--cpu", "486dx4", "-e", "ccpuspeed(1); ccpuspeed(3)"},
     0,
     {"ccpuspeed(\"1\") = 100\n", "ccpuspeed(\"3\") = 188000\n"},
     {}},
    {"libcpuid_raw_dump_gives_its_identification",
     {"--cpuid", "{raw}", "-e", kIdentification},
     0,
     kHygonAnswers,
     {}},
    {"dump_answers_on_an_emulated_instruction_set",
     {"--cpu", "pentium", "--cpuid", "{raw}", "-e", kIdentification},
     0,
     kHygonAnswers,
     {}},
    {"second_processor_of_a_dump_answers",
     {"--cpuid", "{two}", "--cpuid-processor", "1", "-e", kIdentification},
     0,
     kHygonAnswers,
     {}},
    {"processor_the_dump_lacks",
     {"--cpuid", "{two}", "--cpuid-processor=2"},
     2,
     {},
     {"two.txt:4: no processor 2: the file lists 2 processors"}},
    {"malformed_dump_names_its_line", {"--cpuid", "{malformed}"}, 2, {}, {"malformed.txt:3: "}},
    {"missing_dump", {"--cpuid", "/nonexistent/dump.txt"}, 2, {}, {"/nonexistent/dump.txt"}},
    {"clock_rate_must_be_megahertz", {"--clock-mhz", "fast"}, 2, {}, {"--clock-mhz takes"}},
    {"zoo_brings_its_own_clock", {"--zoo", "--clock-mhz", "100"}, 2, {}, {"no --clock-mhz"}},
    {"survey_of_a_missing_folder",
     {"--zoo", "--cpuid", "/nonexistent/listings"},
     2,
     {},
     {"/nonexistent/listings: no such listing or folder"}},
    {"several_dumps_without_zoo",
     {"--cpuid", "{raw}", "--cpuid", "{raw}"},
     2,
     {},
     {"several listings are surveyed with --zoo"}},
    {"survey_runs_no_script",
     {"--zoo", "--cpuid", "{raw}", "-e", "ccpuid()"},
     2,
     {},
     {"no --list or -e"}},
};

std::string Substitute(const std::string& argument) {
    if (argument == "{raw}")
        return WriteText("libcpuid_raw.test", kLibcpuidRawDump);
    if (argument == "{malformed}")
        return WriteText("malformed.txt", kMalformedDump);
    if (argument == "{two}")
        return WriteText("two.txt", kTwoProcessorListing);
    return argument;
}

class VirtualProcessor : public testing::TestWithParam<VirtualCase> {};

TEST_P(VirtualProcessor, AnswersAsItsModelsImply) {
    const VirtualCase& c = GetParam();
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments)
        arguments.push_back(Substitute(argument));
    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, arguments);
    EXPECT_EQ(run.exit_status, c.exit_status) << "stdout:\n" << run.out << "stderr:\n" << run.err;
    for (const std::string& text : c.out_has)
        EXPECT_NE(run.out.find(text), std::string::npos) << text << " in\n" << run.out;
    for (const std::string& text : c.err_has)
        EXPECT_NE(run.err.find(text), std::string::npos) << text << " in\n" << run.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, VirtualProcessor, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<VirtualCase>& info) {
                             return std::string(info.param.label);
                         });

// The time-stamp counter counts the rate given against the session's real clock, whatever
// this machine runs at: the one-second route reads it over just over a second (a loaded
// machine makes that longer), the measuring route to the megahertz.
TEST(VirtualTimeStampCounter, CountsTheRateGiven) {
    const auto start = std::chrono::steady_clock::now();
    const ht::HostRun run =
        ht::RunQelhost(QELHOST_RUNNER, {"--clock-mhz", "733.5", "-e", "ccpuspeed(1)"});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(run.exit_status, 0) << run.err;
    unsigned mhz = 0;
    ASSERT_EQ(sscanf(run.out.c_str(), "ccpuspeed(\"1\") = %u", &mhz), 1) << run.out;
    EXPECT_GE(mhz, 733u);
    // the one-second route counts over no longer than the whole run took
    EXPECT_LE(mhz, 733.5 * std::max(took.count(), 1.0) + 1);
}

// This machine's leaves, saved in our format and replayed, identify it as it is.
TEST(SavedCpuid, ReplaysThisMachinesIdentification) {
    const std::string path = testing::TempDir() + "this_machine.cpuid";
    const ht::HostRun saved = ht::RunQelhost(QELHOST_RUNNER, {"--save-cpuid", path});
    ASSERT_EQ(saved.exit_status, 0) << saved.err;
    const ht::HostRun real = ht::RunQelhost(QELHOST_RUNNER, {"-e", kIdentification});
    const ht::HostRun replayed =
        ht::RunQelhost(QELHOST_RUNNER, {"--cpuid", path, "-e", kIdentification});
    EXPECT_EQ(real.exit_status, 0) << real.err;
    EXPECT_EQ(replayed.exit_status, 0) << replayed.err;
    EXPECT_EQ(replayed.out, real.out);
}

// The DLL with SYSCALL (0F 05, no 80386 instruction) where an export's code starts: where a
// model applies the load is refused, naming the section and the offset; natively and in the
// runner alike.
TEST(DamagedCodeSection, RefusesTheLoadNamingSectionAndOffset) {
    ht::Bytes bytes = ht::DllBytes();
    const uint32_t rva = ht::ExportRva("_QELExtenderQuery@12");
    bytes[ht::FileOffsetOfRva(rva)] = 0x0F;
    bytes[ht::FileOffsetOfRva(rva) + 1] = 0x05;
    const std::string path = ht::WriteTemporary(bytes, "not_80386.dll");
    uint32_t section = 0;
    const std::vector<qel::Section>& sections = ht::DllHeaders().sections;
    while (section < sections.size() && std::string(sections[section].name) != ".text")
        ++section;
    ASSERT_LT(section, sections.size());
    char place[96];
    snprintf(place, sizeof place, "section %u (.text) at offset 0x%08x: not an 80386 instruction",
             section, rva - sections[section].virtual_address);
    for (const std::vector<std::string>& model :
         {std::vector<std::string>{"--clock-mhz", "100"}, {"--cpu", "k6-2"}}) {
        std::vector<std::string> arguments = model;
        arguments.insert(arguments.end(), {"--dll", path, "-e", "ccpuid()"});
        const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, arguments);
        EXPECT_EQ(run.exit_status, 1) << run.err;
        EXPECT_NE(run.err.find(place), std::string::npos) << place << " in\n" << run.err;
    }
}

// A UD2 planted in an export stays a fault with its message where the traps are served.
TEST(PlantedFaultUnderAModel, StaysAnIllegalInstruction) {
    ht::Bytes bytes = ht::DllBytes();
    const uint32_t at = ht::FileOffsetOfRva(ht::ExportRva("_QELExtender2@40"));
    bytes[at] = 0x0F;
    bytes[at + 1] = 0x0B;
    const std::string path = ht::WriteTemporary(bytes, "planted_ud2_model.dll");
    for (const char* cpu : {"", "k6-2"}) {
        std::vector<std::string> arguments = {"--clock-mhz", "100", "--dll", path, "-e", "ccpuid"};
        if (*cpu != 0)
            arguments.insert(arguments.begin(), {"--cpu", cpu});
        const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, arguments);
        EXPECT_EQ(run.exit_status, 1) << run.err;
        EXPECT_NE(run.err.find("illegal instruction (SIGILL)"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(" in _QELExtender2@40"), std::string::npos) << run.err;
    }
}

}  // namespace
