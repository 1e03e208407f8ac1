// The real KZPROBEX.dll on the catalogue's emulated processors, most of which 32-bit glibc
// cannot start on: the runner loads it under qemu-i386 -cpu MODEL, with the chip's recorded
// CPUID and clock rate served to it, and drives its exports; every expectation is derived
// from the chip's recorded leaves and clock rate.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "abi/scan_loop.h"
#include "abi/script_functions.h"
#include "host/processor/processor_catalogue.h"
#include "host/remote/catalogue_setup.h"
#include "host/remote/remote_extender.h"
#include "tests/support/catalogue_printer.h"
#include "tests/support/dll_file.h"

namespace {

namespace ht = host_test;

namespace fn = qel_abi::function_number;

constexpr uint64_t kEmulatedMemory = 1u << 30;

std::unique_ptr<qel::RemoteExtender> StartRunner(const std::string& cpu, const std::string& dll,
                                                 std::string* error,
                                                 const qel::RunnerSetUp& setup = {}) {
    return qel::RemoteExtender::Start({QEL_QEMU, "-cpu", cpu, QEL_RUNNER}, dll, error, nullptr,
                                      setup);
}

struct Cpuid {
    std::string vendor;
    uint32_t highest_leaf = 0;
    uint32_t signature = 0;  // leaf 1 EAX, 0 without leaf 1
    uint32_t features = 0;   // leaf 1 EDX
};

Cpuid ReadCpuid(qel::RemoteExtender& runner) {
    Cpuid cpuid;
    uint32_t registers[4] = {};
    EXPECT_TRUE(runner.ReadCpuid(0, registers));
    cpuid.highest_leaf = registers[0];
    char vendor[13] = {};
    memcpy(vendor, &registers[1], 4);
    memcpy(vendor + 4, &registers[3], 4);
    memcpy(vendor + 8, &registers[2], 4);
    cpuid.vendor = vendor;
    if (cpuid.highest_leaf >= 1 && runner.ReadCpuid(1, registers)) {
        cpuid.signature = registers[0];
        cpuid.features = registers[3];
    }
    return cpuid;
}

int32_t VendorCode(const std::string& vendor) {
    return vendor == "GenuineIntel"   ? 1
           : vendor == "CyrixInstead" ? 2
           : vendor == "AuthenticAMD" ? 3
                                      : 0;
}

// Each chip with its recorded leaves and clock rate, on the scripted timeline.
class EmulatedProcessor : public testing::TestWithParam<qel::CatalogueProcessor> {
  protected:
    void SetUp() override {
        std::string error;
        setup_ = qel::CatalogueSetUp(GetParam(), true);
        runner_ = StartRunner(GetParam().qemu_cpu, KZPROBEX_DLL_PATH, &error, setup_);
        ASSERT_NE(runner_, nullptr) << error;
        cpuid_ = ReadCpuid(*runner_);
        runner_->Set("memory", std::to_string(kEmulatedMemory));
    }

    // The value of one call, which must have succeeded with exactly one callback.
    int32_t Value(uint32_t function, const qel::ArgumentTexts& args = {}) {
        const qel::Outcome outcome = runner_->Call(function, args);
        EXPECT_EQ(runner_->failure(), "") << "function " << function;
        EXPECT_EQ(outcome.callbacks, 1) << "function " << function;
        EXPECT_EQ(outcome.status, 0) << "function " << function << ": " << outcome.text;
        return outcome.value;
    }

    qel::RunnerSetUp setup_;
    std::unique_ptr<qel::RemoteExtender> runner_;
    Cpuid cpuid_;
};

// The six identification answers are the recorded dump's: its leaf-1 EDX exactly, the bits
// qemu cannot show included; the runner's own CPUID reading answers from the dump too.
TEST_P(EmulatedProcessor, IdentificationIsTheRecordedChips) {
    const qel::CatalogueProcessor& chip = GetParam();
    EXPECT_EQ(cpuid_.vendor, chip.vendor);
    EXPECT_EQ(cpuid_.highest_leaf, chip.highest_leaf);
    EXPECT_EQ(cpuid_.signature, chip.signature);
    EXPECT_EQ(cpuid_.features, chip.real_features);
    const int32_t vendor = VendorCode(chip.vendor);
    EXPECT_EQ(Value(fn::ccpusupt), 1);
    EXPECT_EQ(Value(fn::ccpuid), static_cast<int32_t>((chip.signature >> 8) & 0xF));
    EXPECT_EQ(Value(fn::ccpuidext), static_cast<int32_t>(chip.signature & 0xFFFF));
    EXPECT_EQ(static_cast<uint32_t>(Value(fn::ccpufeat)), chip.real_features);
    EXPECT_EQ(Value(fn::cvendorid), vendor);
    EXPECT_EQ(Value(fn::cclonecheck), vendor >= 2 ? 1 : 0);
}

TEST_P(EmulatedProcessor, VersionMemoryAndBenchmark) {
    EXPECT_EQ(Value(fn::cversioninfo, {"0"}), 44001);
    EXPECT_EQ(Value(fn::cversioninfo, {"1"}), 10);  // the box answered OK
    runner_->Set("box", "2");
    EXPECT_EQ(Value(fn::cversioninfo, {"2"}), 0);  // and Cancel
    EXPECT_EQ(static_cast<uint64_t>(Value(fn::cmemstat)), kEmulatedMemory);
    // One run of one iteration between two tick readings, one timeline step apart.
    const int32_t step_ms = static_cast<int32_t>(setup_.timeline_step_ns / 1'000'000);
    const int32_t benchmark = Value(fn::ccpubenchmark, {"1", "1", "1", "0", "1"});
    EXPECT_GE(benchmark, step_ms);
    EXPECT_LE(benchmark, step_ms + 1);
    const qel::Outcome refused = runner_->Call(fn::ccpuspeed, {"x"});
    EXPECT_EQ(refused.status, -1);
    EXPECT_EQ(refused.text, "17102: cCpuSpeed requires a number 0-3.");
}

// The route ccpuspeed takes follows from the vendor and the time-stamp bit, and each route
// reports the chip's own clock rate: the time-stamp counter counts it against the scripted
// timeline exactly, and the scan loop takes the chip's time between two counter readings.
TEST_P(EmulatedProcessor, SpeedTakesTheRouteCpuidImplies) {
    const qel::CatalogueProcessor& chip = GetParam();
    const bool clone = VendorCode(chip.vendor) >= 2;
    const bool time_stamp = (chip.real_features & qel::kFeatureTimeStampCounter) != 0;
    const uint32_t rated = static_cast<uint32_t>(Value(fn::ccpuspeed, {"0"}));
    const uint32_t mhz = static_cast<uint32_t>(Value(fn::ccpuspeed, {"1"}));
    const uint32_t interval = static_cast<uint32_t>(Value(fn::ccpuspeed, {"2"}));
    const uint32_t cycles = static_cast<uint32_t>(Value(fn::ccpuspeed, {"3"}));
    const uint32_t clock_mhz = (chip.clock_khz + 500) / 1000;
    if (clone && !time_stamp) {
        // A clone without a time-stamp counter cannot count cycles: 0, and no fault.
        EXPECT_EQ(rated, 0u);
        EXPECT_EQ(mhz, 0u);
        EXPECT_EQ(cycles, 0u);
        return;
    }
    if (clone) {
        // Cycles over just over one second of the multimedia timer: the count the clock
        // rate gives over that interval (mode 3 its low 32 bits), modes 0 and 1 its MHz.
        EXPECT_GE(interval, 1000u) << "the interval in ms";
        EXPECT_LE(interval, 1002u) << "the interval in ms";
        const uint64_t counted = uint64_t(chip.clock_khz) * interval;
        EXPECT_EQ(cycles, static_cast<uint32_t>(counted));
        EXPECT_EQ(mhz, counted / 1'000'000);
        EXPECT_EQ(rated, mhz);
        return;
    }
    if (!time_stamp) {
        // The scan loop: its known cost per pass for this family over one timeline step (to
        // within 2 us: a count of the 1.193182 MHz counter is 0.84 us, and the counts and
        // their microseconds both truncate).
        const uint32_t family = (chip.signature >> 8) & 0xF;
        const uint32_t cost = family == 4 ? 47 : family == 5 ? 43 : 38;
        EXPECT_EQ(cycles, cost * qel_abi::kScanLoopPasses);
        EXPECT_NEAR(double(interval), double(setup_.timeline_step_ns) / 1000, 2.0);
    }
    // Measured against the performance counter: the clock rate itself, and a rating near it
    // (the DLL's list of nominal rates for the family).
    EXPECT_NEAR(double(mhz), double(clock_mhz), 1.0);
    EXPECT_NEAR(double(rated), double(clock_mhz), 0.12 * clock_mhz);
}

// Every processor of the catalogue: the 486 and Pentium classes and the clones without CMOV
// (where qelhost itself cannot start), the later ones too.
INSTANTIATE_TEST_SUITE_P(Catalogue, EmulatedProcessor,
                         testing::ValuesIn(qel::ProcessorCatalogue().begin(),
                                           qel::ProcessorCatalogue().end()),
                         [](const testing::TestParamInfo<qel::CatalogueProcessor>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 c = (c == '-') ? '_' : c;
                             return name;
                         });

// The runner's loader refuses a damaged DLL with the same words as qelhost's own.
struct Damage {
    const char* label;
    void (*apply)(ht::Bytes*);
    friend void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.label; }
};

class RunnerRefusal : public testing::TestWithParam<Damage> {};

TEST_P(RunnerRefusal, SameMessageAsInProcess) {
    ht::Bytes bytes = ht::DllBytes();
    GetParam().apply(&bytes);
    const std::string path = ht::WriteTemporary(bytes, std::string("runner_") + GetParam().label);
    std::string in_process, in_runner;
    EXPECT_EQ(qel::ExtenderDll::Load(path, &in_process), nullptr);
    EXPECT_EQ(StartRunner("486", path, &in_runner), nullptr);
    EXPECT_FALSE(in_runner.empty());
    EXPECT_EQ(in_runner, in_process);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, RunnerRefusal,
    testing::Values(Damage{"truncated", [](ht::Bytes* b) { b->resize(0x3C); }},
                    Damage{"no_mz", [](ht::Bytes* b) { (*b)[0] = 'X'; }},
                    Damage{"not_i386",
                           [](ht::Bytes* b) { ht::Put16(b, ht::FileHeaderOffset(), 0x8664); }},
                    Damage{"missing_export",
                           [](ht::Bytes* b) {
                               const uint32_t at = ht::OffsetOfText("_QELExtenderQuery@12");
                               (*b)[at + 1] = 'X';
                           }},
                    Damage{"foreign_import",
                           [](ht::Bytes* b) {
                               const uint32_t at = ht::OffsetOfText("lstrlenA");
                               (*b)[at + 6] = 'W';
                           }}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.label); });

}  // namespace
