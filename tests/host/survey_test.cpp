// qelhost --zoo --cpuid over a folder of listings through the real DLL: one row per listing
// in sorted order through the subfolders, each with its vendor, answers and clock; a broken
// listing as a row with its message; a fault of the DLL as its message and exit status 1.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "host/virtual_cpu/cpuid_dump.h"
#include "tests/support/dll_file.h"
#include "tests/support/qelhost_run.h"

namespace {

namespace ht = host_test;
namespace fs = std::filesystem;

struct Listing {
    const char* path;  // in the folder, in the order the survey must list them
    const char* text;
    const char* vendor;  // nullptr: refused
    const char* signature;
    const char* route;
};

// Our own format, AIDA64's listing and libcpuid's raw file; a Skylake recording its 4000 MHz
// in leaf 0x16, a K6-2 and a 486 (no time-stamp counter) recording none.
const Listing kListings[] = {
    {"k6-2.cpuid",
     "kzprobex-cpuid-dump 1\n"
     "00000000 00000000 00000001 68747541 444d4163 69746e65\n"
     "00000001 00000000 00000580 00000000 00000000 008001bf\n",
     "AuthenticAMD", "0x580", "one second"},
    {"nested/broken.txt", "kzprobex-cpuid-dump 1\n00000000 00000000 zz\n", nullptr, "", ""},
    {"nested/deeper/skylake.txt",
     "CPUID 00000000: 00000016-756E6547-6C65746E-49656E69\n"
     "CPUID 00000001: 000506E3-00100800-7FFAFBBF-BFEBFBFF\n"
     "CPUID 00000016: 00000FA0-00000FA0-00000064-00000000\n",
     "GenuineIntel", "0x6e3", "measured"},
    {"nested/i486.raw",
     "basic_cpuid[0]=00000001 756e6547 6c65746e 49656e69\n"
     "basic_cpuid[1]=00000480 00000000 00000000 00000003\n",
     "GenuineIntel", "0x480", "scan loop"},
};

// A folder of the test's own: ctest runs the tests of this file side by side.
std::string WriteListings() {
    const fs::path folder = fs::path(testing::TempDir()) /
                            (std::string("survey_listings_") +
                             testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    for (const Listing& listing : kListings) {
        fs::create_directories((folder / listing.path).parent_path());
        std::ofstream(folder / listing.path, std::ios::binary) << listing.text;
    }
    return folder.string();
}

// The clock rate the reader finds in the listing, in MHz; 0 where it finds none.
double RecordedMhz(const Listing& listing) {
    const auto reading = qel::virtual_cpu::ReadCpuidDump(listing.text);
    return reading.dump ? reading.dump->recorded_clock_khz / 1000.0 : 0;
}

TEST(Survey, ListsEveryListingOfTheFolderWithItsAnswersAndClock) {
    const std::string folder = WriteListings();
    const ht::HostRun json = ht::RunQelhost(QELHOST_RUNNER, {"--zoo", "--cpuid", folder, "--json"});
    ASSERT_EQ(json.exit_status, 0) << json.err;
    const nlohmann::json document = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << json.out;
    const nlohmann::json& rows = document["listings"];
    ASSERT_EQ(rows.size(), std::size(kListings)) << json.out;
    const ht::HostRun text = ht::RunQelhost(QELHOST_RUNNER, {"--zoo", "--cpuid", folder});
    ASSERT_EQ(text.exit_status, 0) << text.err;
    for (size_t index = 0; index < rows.size(); ++index) {
        const Listing& listing = kListings[index];
        const nlohmann::json& row = rows[index];
        SCOPED_TRACE(listing.path);
        EXPECT_EQ(row["file"], (fs::path(folder) / listing.path).string());
        const size_t line_start = text.out.find((fs::path(folder) / listing.path).string());
        ASSERT_NE(line_start, std::string::npos) << text.out;
        const std::string line =
            text.out.substr(line_start, text.out.find('\n', line_start) - line_start);
        if (listing.vendor == nullptr) {
            EXPECT_NE(row["problem"].get<std::string>().find("line 2: "), std::string::npos);
            EXPECT_NE(line.find("(line 2: "), std::string::npos) << line;
            continue;
        }
        EXPECT_FALSE(row.contains("problem")) << row["problem"];
        EXPECT_EQ(row["vendor"], listing.vendor);
        EXPECT_EQ(row["results"]["ccpuidext()"], listing.signature);
        EXPECT_EQ(row["speed_route"], listing.route);
        EXPECT_EQ(row["results"].size(), 11u);
        // The clock the listing records, else this machine's, which the text marks with *.
        const double recorded = RecordedMhz(listing);
        const double clock = recorded != 0 ? recorded : document["host_clock_mhz"].get<double>();
        EXPECT_EQ(row["clock"], recorded != 0 ? "recorded" : "host");
        EXPECT_EQ(row["clock_mhz"].get<double>(), clock);
        const std::string clock_cell =
            std::to_string(static_cast<unsigned>(clock)) + (recorded != 0 ? "  " : "* ");
        EXPECT_NE(line.find(listing.vendor + std::string("  ") + clock_cell), std::string::npos)
            << line;
        // On the measuring route the DLL counts the listing's clock against scripted time.
        if (std::string(listing.route) == "measured") {
            EXPECT_EQ(row["results"]["ccpuspeed(\"1\")"],
                      std::to_string(static_cast<unsigned>(clock)));
        }
    }
}

// The Skylake's 4000 MHz of leaf 0x16: the clock column and the DLL's count at that rate.
TEST(Survey, RunsAListingAtTheClockItRecords) {
    const Listing& skylake = kListings[2];
    if (RecordedMhz(skylake) == 0)
        GTEST_SKIP() << "the dump reader finds no clock rate in leaf 0x16 yet";
    const std::string path = (fs::path(WriteListings()) / skylake.path).string();
    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, {"--zoo", "--cpuid", path, "--json"});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const nlohmann::json row = nlohmann::json::parse(run.out)["listings"][0];
    EXPECT_EQ(row["clock"], "recorded");
    EXPECT_EQ(row["clock_mhz"], 4000);
    EXPECT_EQ(row["results"]["ccpuspeed(\"1\")"], "4000");
}

// A fault in the DLL, which runs in qelhost's own process for the survey, is its message and
// exit status 1, never a signal.
TEST(Survey, FaultOfTheDllIsItsMessage) {
    const std::string folder = WriteListings();
    ht::Bytes bytes = ht::DllBytes();
    const uint32_t at = ht::FileOffsetOfRva(ht::ExportRva("_QELExtender2@40"));
    bytes[at] = 0x0F;  // UD2
    bytes[at + 1] = 0x0B;
    const std::string dll = ht::WriteTemporary(bytes, "survey_planted_ud2.dll");
    const ht::HostRun run =
        ht::RunQelhost(QELHOST_RUNNER, {"--zoo", "--cpuid", folder, "--dll", dll});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("k6-2.cpuid: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("illegal instruction (SIGILL)"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("skylake.txt"), std::string::npos) << "the survey goes on:\n" << run.out;
}

// Listings as libcpuid publishes its larger ones, compressed: replayed through the system's
// xz or gzip, by --cpuid and by the survey; a damaged one is a row saying so.
TEST(Survey, CompressedListingsReplayAsPublished) {
    if (std::system("xz --version >/dev/null 2>&1 && gzip --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no xz or gzip program here (scripts/bootstrap installs xz-utils)";
    const fs::path folder =
        fs::path(testing::TempDir()) / ("survey_compressed_" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "k6-2.cpuid", std::ios::binary) << kListings[0].text;
    const std::string plain = (folder / "k6-2.cpuid").string();
    ASSERT_EQ(std::system(("xz -c '" + plain + "' >'" + plain + ".xz' && gzip -c '" + plain +
                           "' >'" + plain + ".gz' && head -c 40 '" + plain + ".xz' >'" +
                           (folder / "cut.xz").string() + "'")
                              .c_str()),
              0);
    fs::remove(plain);
    struct Case {
        const char* file;
        int exit_status;
        const char* said;  // on standard error, or the survey row's problem
    };
    const Case kCases[] = {
        {"cut.xz", 2, "compressed with xz, and xz could not decompress it"},
        {"k6-2.cpuid.gz", 0, nullptr},
        {"k6-2.cpuid.xz", 0, nullptr},
    };
    const ht::HostRun survey =
        ht::RunQelhost(QELHOST_RUNNER, {"--zoo", "--cpuid", folder.string(), "--json"});
    ASSERT_EQ(survey.exit_status, 0) << survey.err;
    const nlohmann::json rows = nlohmann::json::parse(survey.out)["listings"];
    ASSERT_EQ(rows.size(), std::size(kCases)) << survey.out;
    for (size_t index = 0; index < std::size(kCases); ++index) {
        const Case& listing = kCases[index];
        SCOPED_TRACE(listing.file);
        const std::string path = (folder / listing.file).string();
        const ht::HostRun run =
            ht::RunQelhost(QELHOST_RUNNER, {"--cpuid", path, "-e", "ccpuidext()"});
        EXPECT_EQ(run.exit_status, listing.exit_status) << run.err;
        if (listing.said != nullptr) {
            EXPECT_NE(run.err.find(path + ": " + listing.said), std::string::npos) << run.err;
            EXPECT_NE(rows[index]["problem"].get<std::string>().find(listing.said),
                      std::string::npos);
        } else {
            EXPECT_NE(run.out.find("ccpuidext() = 1408"), std::string::npos) << run.out;
            EXPECT_EQ(rows[index]["results"]["ccpuidext()"], kListings[0].signature);
        }
    }
}

}  // namespace
