// The time-stamp counter the Linux host serves on real clocks, driven read by read against a
// scripted monotonic clock. A served read shows the time of the DLL's last clock read, so a
// process the scheduler holds between the two (a loaded machine) changes neither the rate nor
// the count; a timed stretch held for longer is counted whole, as the performance counter
// counts it.
#include <vector>

#include "gtest/gtest.h"
#include "host/crossing/served_sites.h"
#include "host/win32/emulation.h"
#include "host/win32/virtual_processor.h"
#include "host/win32/win32_api.h"

namespace {

namespace win32 = qel::win32;

constexpr uint32_t kRateKhz = 350000;  // 350 cycles a microsecond

// 'Q' the performance counter, 'T' the tick count, 'M' the multimedia timer, 'R' a served
// RDTSC, each made when the monotonic clock reads `now_us`; an 'R' must count the cycles up
// to `shown_us`.
struct Read {
    char kind;
    uint64_t now_us;
    uint64_t shown_us = 0;
};

struct StampCase {
    const char* label;
    std::vector<Read> reads;
    friend void PrintTo(const StampCase& c, std::ostream* out) { *out << c.label; }
};

const StampCase kStampCases[] = {
    // the trap arrives 5 ms after the clock read it follows: those 5 ms are not counted
    {"TrapLateAfterAClockRead", {{'Q', 1000}, {'R', 6000, 1000}}},
    // with no clock read since the last counter read, the counter reads now
    {"CounterAloneMoves", {{'R', 500, 500}, {'Q', 1000}, {'R', 2000, 1000}, {'R', 3000, 3000}}},
    {"TickCountAndMultimediaTimerStampToo",
     {{'T', 2000}, {'R', 9000, 2000}, {'M', 4000}, {'R', 5000, 4000}}},
    {"LastOfSeveralClockReads", {{'Q', 1000}, {'M', 1500}, {'T', 1700}, {'R', 8000, 1700}}},
    // the measuring route's run (counter reads, RDTSC, counter reads, RDTSC) with its timed
    // stretch held for 10 ms: the DLL's 32-bit counts x 100000 wraps past 4.295 ms, and the
    // counter must still show exactly the stretch the performance counter saw
    {"TimedStretchHeldPastTheDllsWrap",
     {{'Q', 10000},
      {'Q', 10005},
      {'R', 10006, 10005},
      {'Q', 11000},
      {'Q', 21005},
      {'R', 21400, 21005}}},
};

class ServedCounterOnRealClocks : public testing::TestWithParam<StampCase> {
  protected:
    void SetUp() override {
        qel::emulation() = qel::Emulation{};
        qel::emulation().monotonic_clock = [this] { return now_ns_; };
        win32::StampNanoseconds();  // a clock read left by an earlier test is not this one's
    }
    void TearDown() override { qel::emulation() = qel::Emulation{}; }

    uint64_t now_ns_ = 0;
};

TEST_P(ServedCounterOnRealClocks, ShowsTheLastClockReadsTime) {
    for (const Read& read : GetParam().reads) {
        now_ns_ = read.now_us * 1000;
        int64_t counter = 0;
        switch (read.kind) {
            case 'Q':
                win32::QueryPerformanceCounter(&counter);
                EXPECT_EQ(counter, int64_t(read.now_us * 10));  // 10 MHz
                break;
            case 'T':
                win32::GetTickCount();
                break;
            case 'M':
                win32::timeGetTime();
                break;
            default: {
                qel::SiteRegisters registers;
                qel::AnswerFromModels(qel::virtual_cpu::SiteKind::kRdtsc, nullptr, kRateKhz,
                                      &win32::StampNanoseconds, &registers);
                const uint64_t count = uint64_t(registers.edx) << 32 | registers.eax;
                EXPECT_EQ(count, read.shown_us * 350) << "read at " << read.now_us << " us";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Reads, ServedCounterOnRealClocks, testing::ValuesIn(kStampCases),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
