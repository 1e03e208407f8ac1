// The virtual time-stamp counter: cycles at the set rate against the session's clock, with
// 64-bit wrapping, and the --clock-mhz text it is set from.
#include "host/virtual_cpu/time_stamp_model.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/virtual_cpu/clock_rate.h"

namespace qel::virtual_cpu {
namespace {

constexpr uint64_t kSecond = 1000000;  // microseconds

struct CyclesCase {
    const char* what;
    uint64_t microseconds;
    uint32_t rate_khz;
    uint64_t cycles;
};

void PrintTo(const CyclesCase& c, std::ostream* out) {
    *out << c.what;
}

class Cycles : public testing::TestWithParam<CyclesCase> {};

TEST_P(Cycles, CountAtTheRate) {
    const CyclesCase& c = GetParam();
    EXPECT_EQ(CyclesIn(c.microseconds, c.rate_khz), c.cycles);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, Cycles,
    testing::Values(
        CyclesCase{"one second at 16 MHz", kSecond, 16000, 16000000},
        CyclesCase{"one second at 75 MHz", kSecond, 75000, 75000000},
        CyclesCase{"one second at 2600 MHz", kSecond, 2600000, 2600000000},
        CyclesCase{"one second at 4500 MHz", kSecond, 4500000, 4500000000},
        CyclesCase{"one second at 6000 MHz", kSecond, 6000000, 6000000000},
        CyclesCase{"one second at 233.3 MHz", kSecond, 233300, 233300000},
        CyclesCase{"one microsecond at 2600 MHz", 1, 2600000, 2600},
        CyclesCase{"one microsecond at 233.3 MHz: whole cycles only", 1, 233300, 233},
        CyclesCase{"999 microseconds at 233.3 MHz", 999, 233300, 233066},
        CyclesCase{"ten years at 6000 MHz", uint64_t{10} * 31536000 * kSecond, 6000000,
                   1892160000000000000},
        // 100 years at 6 GHz is 18921600000000000000 cycles, 2^64 and 474855926290448384.
        CyclesCase{"a hundred years at 6000 MHz wraps", uint64_t{100} * 31536000 * kSecond, 6000000,
                   474855926290448384}));

// To the nanosecond, as the served counter reads the session's clock: the same counts where
// the time is whole microseconds, and the cycles of the part below one.
TEST(Cycles, ToTheNanosecondAgreeWithWholeMicroseconds) {
    for (uint32_t rate_khz : {16000u, 116667u, 2600000u, 6000000u}) {
        for (uint64_t microseconds : {uint64_t{0}, uint64_t{1}, uint64_t{999}, kSecond,
                                      uint64_t{10} * 31536000 * kSecond}) {
            EXPECT_EQ(CyclesInNanoseconds(microseconds * 1000, rate_khz),
                      CyclesIn(microseconds, rate_khz))
                << microseconds << " us at " << rate_khz << " kHz";
        }
    }
    EXPECT_EQ(CyclesInNanoseconds(100, 2800000), 280u);  // one count of a 10 MHz counter
    EXPECT_EQ(CyclesInNanoseconds(1000100, 2800000), 2800280u);
    EXPECT_EQ(CyclesInNanoseconds(999, 1000), 0u);  // whole cycles only
}

TEST(Cycles, OneSecondOfCyclesIsTheRateInMegahertz) {
    // The DLL's one-second route divides one second of cycles by a million.
    for (uint32_t rate_khz : {16000u, 75000u, 233300u, 2600000u, 4500000u, 6000000u}) {
        EXPECT_EQ(CyclesIn(kSecond, rate_khz) / 1000000, rate_khz / 1000) << rate_khz << " kHz";
        // Above 2147 MHz a second of cycles no longer fits an int32; as uint32 it does up to
        // 4294 MHz, and the low 32 bits are what 32-bit code keeps.
        EXPECT_EQ(static_cast<uint32_t>(CyclesIn(kSecond, rate_khz)),
                  static_cast<uint32_t>(uint64_t{rate_khz} * 1000));
    }
}

TEST(Cycles, NeverRunBackwards) {
    uint64_t last = 0;
    for (uint64_t microseconds = 0; microseconds < 5000; microseconds++) {
        const uint64_t cycles = CyclesIn(microseconds, 233300);
        ASSERT_GE(cycles, last) << microseconds;
        last = cycles;
    }
}

TEST(TimeStampCounter, StartsAtItsFirstCountAndCarriesIntoTheHighWord) {
    const TimeStampModel counter(2600000, 0xfffff000, 7 * kSecond);
    EXPECT_EQ(counter.CountAt(7 * kSecond), 0xfffff000u);
    EXPECT_EQ(counter.CountAt(7 * kSecond + 1), 0xfffff000u + 2600);
    // One millisecond later the low 32 bits have wrapped and the high word counts one.
    const uint64_t later = counter.CountAt(7 * kSecond + 1000);
    EXPECT_EQ(later >> 32, 1u);
    EXPECT_EQ(static_cast<uint32_t>(later), 0xfffff000u + 2600000u);  // modulo 2^32
}

TEST(TimeStampCounter, WrapsAt64BitsAndAcrossTheSessionClocksWrap) {
    const TimeStampModel near_the_end(1000, ~uint64_t{0} - 1, 0);
    EXPECT_EQ(near_the_end.CountAt(3), 1u);  // 2^64 - 2 + 3
    const TimeStampModel clock_wraps(16000, 100, ~uint64_t{0} - 9);
    EXPECT_EQ(clock_wraps.CountAt(5), 100u + 15 * 16);  // 15 microseconds later
}

struct RateCase {
    const char* text;
    std::optional<uint32_t> khz;
};

void PrintTo(const RateCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class ClockMhz : public testing::TestWithParam<RateCase> {};

TEST_P(ClockMhz, ReadsMegahertzIntoKilohertz) {
    EXPECT_EQ(ParseClockMhz(GetParam().text), GetParam().khz);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ClockMhz,
    testing::Values(RateCase{"75", 75000}, RateCase{"2596", 2596000}, RateCase{"16", 16000},
                    RateCase{"6000", 6000000}, RateCase{"233.3", 233300}, RateCase{"4.77", 4770},
                    RateCase{"66.667", 66667}, RateCase{"1", 1000}, RateCase{"100000", 100000000},
                    RateCase{"0.5", std::nullopt}, RateCase{"100000.001", std::nullopt},
                    RateCase{"233.3333", std::nullopt}, RateCase{"", std::nullopt},
                    RateCase{".", std::nullopt}, RateCase{"75.", std::nullopt},
                    RateCase{".5", std::nullopt}, RateCase{"-75", std::nullopt},
                    RateCase{"75MHz", std::nullopt}, RateCase{" 75", std::nullopt},
                    RateCase{"1e3", std::nullopt}, RateCase{"99999999999999999999", std::nullopt}));

}  // namespace
}  // namespace qel::virtual_cpu
