// The real KZPROBEX.dll on the catalogue's emulated processors, most of which 32-bit glibc
// cannot start on: the runner loads it under qemu-i386 -cpu MODEL and drives its exports,
// and every expectation is derived from CPUID as the runner reads it in the same process.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "abi/script_functions.h"
#include "host/processor/processor_catalogue.h"
#include "host/remote/remote_extender.h"
#include "tests/support/catalogue_printer.h"
#include "tests/support/dll_file.h"

namespace {

namespace ht = host_test;

namespace fn = qel_abi::function_number;

// Scripted clocks: a 10 MHz counter that moves 10000 counts (1 ms) per read, a tick count
// that moves 7 ms per read, a multimedia timer that moves 250 ms per read.
constexpr uint64_t kCounterFrequency = 10'000'000;
constexpr uint64_t kCounterStep = 10'000;
constexpr uint64_t kTickStep = 7;
constexpr uint64_t kTimerStep = 250;
constexpr uint32_t kScanLoopPasses = 4000;
constexpr uint64_t kEmulatedMemory = 1u << 30;

std::unique_ptr<qel::RemoteExtender> StartRunner(const std::string& cpu, const std::string& dll,
                                                 std::string* error) {
    return qel::RemoteExtender::Start({QEL_QEMU, "-cpu", cpu, QEL_RUNNER}, dll, error);
}

struct Cpuid {
    std::string vendor;
    uint32_t highest_leaf = 0;
    uint32_t signature = 0;  // leaf 1 EAX, 0 without leaf 1
    uint32_t features = 0;   // leaf 1 EDX
    bool time_stamp() const { return (features & 0x10) != 0; }
    uint32_t family() const { return (signature >> 8) & 0xF; }
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

class EmulatedProcessor : public testing::TestWithParam<qel::CatalogueProcessor> {
  protected:
    void SetUp() override {
        std::string error;
        runner_ = StartRunner(GetParam().qemu_cpu, KZPROBEX_DLL_PATH, &error);
        ASSERT_NE(runner_, nullptr) << error;
        cpuid_ = ReadCpuid(*runner_);
        runner_->ScriptClock("frequency", kCounterFrequency, 0);
        runner_->ScriptClock("counter", 0, kCounterStep);
        runner_->ScriptClock("tick", 1000, kTickStep);
        runner_->ScriptClock("mmtime", 0, kTimerStep);
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

    std::unique_ptr<qel::RemoteExtender> runner_;
    Cpuid cpuid_;
};

TEST_P(EmulatedProcessor, IdentificationMatchesCpuid) {
    const int32_t vendor = VendorCode(cpuid_.vendor);
    const bool leaf_one = cpuid_.highest_leaf >= 1;
    EXPECT_EQ(Value(fn::ccpusupt), 1);
    EXPECT_EQ(Value(fn::ccpuid), leaf_one ? static_cast<int32_t>(cpuid_.family()) : 65535);
    EXPECT_EQ(Value(fn::ccpuidext), static_cast<int32_t>(cpuid_.signature & 0xFFFF));
    EXPECT_EQ(static_cast<uint32_t>(Value(fn::ccpufeat)), cpuid_.features);
    EXPECT_EQ(Value(fn::cvendorid), vendor);
    EXPECT_EQ(Value(fn::cclonecheck), vendor >= 2 ? 1 : 0);
}

TEST_P(EmulatedProcessor, VersionMemoryAndBenchmark) {
    EXPECT_EQ(Value(fn::cversioninfo, {"0"}), 44001);
    EXPECT_EQ(Value(fn::cversioninfo, {"1"}), 10);  // the box answered OK
    runner_->Set("box", "2");
    EXPECT_EQ(Value(fn::cversioninfo, {"2"}), 0);  // and Cancel
    EXPECT_EQ(static_cast<uint64_t>(Value(fn::cmemstat)), kEmulatedMemory);
    // One run of one iteration between two tick readings.
    EXPECT_EQ(Value(fn::ccpubenchmark, {"1", "1", "1", "0", "1"}), static_cast<int32_t>(kTickStep));
    const qel::Outcome refused = runner_->Call(fn::ccpuspeed, {"x"});
    EXPECT_EQ(refused.status, -1);
    EXPECT_EQ(refused.text, "17102: cCpuSpeed requires a number 0-3.");
}

// The route ccpuspeed takes follows from the vendor and the time-stamp bit.
TEST_P(EmulatedProcessor, SpeedTakesTheRouteCpuidImplies) {
    const bool clone = VendorCode(cpuid_.vendor) >= 2;
    // The routes with a time-stamp counter read the real one: they get the real clocks too.
    if (cpuid_.time_stamp())
        runner_->RealClocks();
    const int32_t mhz = Value(fn::ccpuspeed, {"1"});
    const int32_t microseconds = Value(fn::ccpuspeed, {"2"});
    const int32_t cycles = Value(fn::ccpuspeed, {"3"});
    if (clone && !cpuid_.time_stamp()) {
        // A clone without a time-stamp counter cannot count cycles: 0, and no fault.
        EXPECT_EQ(mhz, 0);
        EXPECT_EQ(cycles, 0);
    } else if (clone) {
        // Cycles of the real time-stamp counter over one second of the multimedia timer, at
        // whatever rate this machine runs: the MHz from all 64 bits of the count, mode 3 its
        // low 32 bits, negative as a signed value above 2147 MHz and wrapped above 4294. So
        // the cycles are compared as unsigned, with the count the MHz implies: some whole
        // number of 2^32 away from the low half. The calls measure separately, on a machine
        // that may be loaded: within 10 % and 2 MHz.
        EXPECT_GT(mhz, 0);
        EXPECT_GE(static_cast<uint32_t>(microseconds), 1001u) << "the interval in ms";
        const uint64_t implied = uint64_t(uint32_t(mhz)) * 1'000'000;
        const uint64_t low_half = static_cast<uint32_t>(cycles);
        const uint64_t wraps = (implied + (uint64_t(1) << 31) - low_half) >> 32;
        const uint64_t counted = low_half + (wraps << 32);
        EXPECT_NEAR(double(counted), double(implied), double(implied) * 0.1 + 2e6)
            << "mode 3 reported " << static_cast<uint32_t>(cycles) << " cycles, mode 1 " << mhz
            << " MHz";
    } else if (!cpuid_.time_stamp()) {
        // The scan loop: its known cost per pass for this family over the fastest of ten
        // timings, each one counter step long.
        const uint32_t cost = cpuid_.family() == 4 ? 47 : cpuid_.family() == 5 ? 43 : 38;
        const uint32_t expected_us = kCounterStep * 1'000'000 / kCounterFrequency;
        EXPECT_EQ(static_cast<uint32_t>(cycles), cost * kScanLoopPasses);
        EXPECT_EQ(static_cast<uint32_t>(microseconds), expected_us);
        EXPECT_EQ(static_cast<uint32_t>(mhz),
                  (cost * kScanLoopPasses + expected_us / 2) / expected_us);
    } else {
        // The measuring route: the real time-stamp counter against the real performance
        // counter, over 1 ms a run: any rate up to 2 THz fits its figures in 31 bits.
        EXPECT_GT(mhz, 0);
        EXPECT_GT(microseconds, 0);
    }
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
