// The processor catalogue against qemu itself: each entry's -cpu string must make qemu-i386
// report the entry's vendor, highest leaf, signature and feature flags, and must refuse CMOV
// exactly where the real chip had none. The table's own rules and its page in docs/ too.
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "gtest/gtest.h"
#include "host/processor/processor_catalogue.h"
#include "tests/support/catalogue_printer.h"

namespace {

using qel::CatalogueProcessor;

struct ProbeRun {
    int exit_status = -1;  // -1: ended by a signal
    int signal = 0;
    std::map<std::string, std::string> readings;  // "leaf0.eax" -> "00000001", "vendor" -> ...
};

// qemu-i386 -cpu <qemu_cpu> <probe> cmov: the probe prints its readings, then executes CMOV.
ProbeRun RunProbeUnderQemu(const char* qemu_cpu) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], 1);
        close(pipe_ends[0]);
        dup2(open("/dev/null", O_WRONLY), 2);  // qemu's notes on unsupported features
        execl(ZOO_QEMU, ZOO_QEMU, "-cpu", qemu_cpu, ZOO_PROBE, "cmov", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe_ends[1]);
    std::string output;
    char buffer[512];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(got));
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);

    ProbeRun run;
    if (WIFEXITED(status))
        run.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            run.readings[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return run;
}

std::string Hex8(uint32_t value) {
    char text[9];
    snprintf(text, sizeof text, "%08x", value);
    return text;
}

uint32_t Family(uint32_t signature) {
    return (signature >> 8) & 0xF;
}

class Catalogue : public testing::TestWithParam<CatalogueProcessor> {};

TEST_P(Catalogue, QemuReportsTheEntryAndRefusesCmovWhereTheChipHadNone) {
    const CatalogueProcessor& processor = GetParam();
    ProbeRun run = RunProbeUnderQemu(processor.qemu_cpu);
    SCOPED_TRACE(processor.qemu_cpu);
    EXPECT_EQ(run.readings.count("leaf1.edx"), 1u) << "the probe printed no readings";
    EXPECT_EQ(run.readings["vendor"], std::string("[") + processor.vendor + "]");
    EXPECT_EQ(run.readings["leaf0.eax"], Hex8(processor.highest_leaf));
    EXPECT_EQ(run.readings["leaf1.eax"], Hex8(processor.signature));
    EXPECT_EQ(run.readings["leaf1.edx"], Hex8(processor.features));
    if (processor.real_features & qel::kFeatureConditionalMove) {
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.readings["cmov"], "executed");
    } else {
        EXPECT_EQ(run.signal, SIGILL) << "exit status " << run.exit_status;
        EXPECT_EQ(run.readings.count("cmov"), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Processors, Catalogue, testing::ValuesIn(qel::ProcessorCatalogue()),
                         [](const testing::TestParamInfo<CatalogueProcessor>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 if (c == '-')
                                     c = '_';
                             }
                             return name;
                         });

// Each entry offers every instruction and flag of the real chip that qemu can offer, and
// only those; the 486 class has neither a time-stamp counter nor CMOV.
TEST(CatalogueTable, EntriesAreWhatQemuCanShowOfTheRealChip) {
    for (const CatalogueProcessor& processor : qel::ProcessorCatalogue()) {
        SCOPED_TRACE(processor.name);
        EXPECT_EQ(std::string(processor.vendor).size(), 12u);
        EXPECT_EQ(processor.features, processor.real_features & ~qel::kFeaturesQemuCannotReport);
        if (Family(processor.signature) == 4) {
            EXPECT_EQ(processor.real_features &
                          (qel::kFeatureTimeStampCounter | qel::kFeatureConditionalMove),
                      0u);
        }
    }
}

TEST(CatalogueTable, NamesAreFoundIgnoringCaseAndNothingElseIs) {
    for (const CatalogueProcessor& processor : qel::ProcessorCatalogue()) {
        std::string upper = processor.name;
        for (char& c : upper)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(qel::FindCatalogueProcessor(upper), &processor) << upper;
        EXPECT_EQ(qel::FindCatalogueProcessor(processor.name), &processor) << processor.name;
    }
    for (const char* unknown : {"", "k6-", "k6-23", "pentium", "athlon", "k6_2"})
        EXPECT_EQ(qel::FindCatalogueProcessor(unknown), nullptr) << unknown;
}

// The page in docs/ lists every entry as the table holds it.
TEST(CatalogueTable, DocumentedAsTheTableHoldsIt) {
    std::ifstream file(ZOO_CATALOGUE_PAGE);
    std::ostringstream page;
    page << file.rdbuf();
    for (const CatalogueProcessor& processor : qel::ProcessorCatalogue()) {
        const auto yes_no = [&](uint32_t bit) { return processor.features & bit ? "yes" : "no"; };
        const std::string row =
            std::string("| ") + processor.name + " | " + processor.title + " | `\"" +
            processor.vendor + "\"` | 0x" + Hex8(processor.signature) + " | " +
            yes_no(qel::kFeatureTimeStampCounter) + " | " + yes_no(qel::kFeatureConditionalMove) +
            " | `" + processor.qemu_cpu + "` |";
        EXPECT_NE(page.str().find(row), std::string::npos) << "missing row:\n" << row;
        char clock[32];
        snprintf(clock, sizeof clock, "%u", processor.clock_khz / 1000);
        if (processor.clock_khz % 1000 != 0) {
            snprintf(clock, sizeof clock, "%u.%03u", processor.clock_khz / 1000,
                     processor.clock_khz % 1000);
            while (clock[strlen(clock) - 1] == '0')
                clock[strlen(clock) - 1] = 0;
        }
        const std::string served =
            std::string("| ") + processor.name + " | " + std::to_string(processor.highest_leaf) +
            " | 0x" + Hex8(processor.features) + " | 0x" + Hex8(processor.real_features) + " | 0x" +
            Hex8(processor.leaf1_ebx) + " | 0x" + Hex8(processor.leaf1_ecx) + " | " + clock +
            " | " + processor.note + " |";
        EXPECT_NE(page.str().find(served), std::string::npos) << "missing row:\n" << served;
    }
}

}  // namespace
