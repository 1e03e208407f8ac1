// ccpuspeed on an Intel processor without a time-stamp counter: the scan loop through the
// real DLL, over a scripted counter and over the real one.
#include "tests/support/e2e_support.h"

namespace {

using speed_e2e::SpeedDllTest;

class ScanLoopRoute : public SpeedDllTest {
  protected:
    void SetUp() override {
        SpeedDllTest::SetUp();
        if (speed_e2e::IsClone(processor_) || processor_.time_stamp || processor_.family < 4) {
            GTEST_SKIP() << processor_.vendor << " does not take the scan loop";
        }
        cycles_ = processor_.family == 4 ? 188000 : processor_.family == 5 ? 172000 : 152000;
    }
    uint32_t cycles_ = 0;
};

// Ten timings of 38000 counts but one of 36864, which crosses a 2^32 boundary.
void ScriptTenTimings(int* reads) {
    const int64_t pairs[][2] = {{0, 38000}, {50000, 88000}, {0x1FFFFF000ll, 0x200008000ll},
                                {0, 38001}, {9, 38009},     {0, 40000},
                                {0, 40000}, {0, 40000},     {0, 40000},
                                {0, 40000}};
    auto readings = std::make_shared<std::deque<int64_t>>();
    for (const auto& pair : pairs)
        readings->insert(readings->end(), {pair[0], pair[1]});
    qel::emulation().counter = [readings, reads](int64_t* value) {
        ++*reads;
        *value = readings->empty() ? 0 : readings->front();
        if (!readings->empty())
            readings->pop_front();
        return true;
    };
}

struct ModeCase {
    const char* mode;
    uint32_t family6;  // cycles 152000 over the fastest 36864 counts: 3686 us
};

const ModeCase kModeCases[] = {{"1", 41}, {"2", 3686}, {"3", 152000}, {"0", 133}};

class ScanLoopModes : public ScanLoopRoute, public testing::WithParamInterface<ModeCase> {};

TEST_P(ScanLoopModes, FromTheFastestTiming) {
    if (processor_.family != 6)
        GTEST_SKIP() << "figures for family 6";
    int reads = 0;
    ScriptTenTimings(&reads);
    EXPECT_EQ(Speed(GetParam().mode), GetParam().family6);
    EXPECT_EQ(reads, 20);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScanLoopModes, testing::ValuesIn(kModeCases));

TEST_F(ScanLoopRoute, RealCounterTimesTheLoop) {
    int reads = 0;
    speed_e2e::CountRealCounterReads(&reads);
    EXPECT_EQ(Speed("3"), cycles_);
    EXPECT_EQ(reads, 20);
    EXPECT_GE(Speed("2"), 1u);
    EXPECT_GE(Speed("1"), 1u);
}

}  // namespace
