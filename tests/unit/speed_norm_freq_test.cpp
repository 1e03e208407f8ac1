// Nominal ratings: every boundary of every family's list, and the words that select none.
#include <gtest/gtest.h>

#include <vector>

#include "speed/norm_freq.h"

namespace {

struct FamilyList {
    uint16_t family;
    int32_t tolerance;
    std::vector<int32_t> ratings;
    friend void PrintTo(const FamilyList& c, std::ostream* out) { *out << "family " << c.family; }
};

std::vector<int32_t> Family15Ratings() {
    std::vector<int32_t> ratings;
    for (int32_t mhz = 1400; mhz <= 3600; mhz += 100)
        ratings.push_back(mhz);
    ratings.insert(ratings.end(), {3800, 4000, 4100});
    return ratings;
}

const FamilyList kFamilies[] = {
    {3, 2, {16, 20, 25, 33, 40}},
    {4, 4, {25, 33, 50, 66, 75, 100}},
    {5, 5, {60,  66,  75,  90,  100, 120, 133, 150, 166, 185, 200,
            233, 266, 300, 350, 366, 400, 433, 450, 500, 533, 600}},
    {6, 5, {133, 150, 166, 185, 200, 220, 240, 266, 300, 350, 366,  400,  433,  450,  500, 533,
            600, 650, 667, 700, 733, 750, 800, 850, 866, 933, 1000, 1130, 1200, 1400, 1500}},
    {15, 5, Family15Ratings()},
};

class NormFreqListTest : public testing::TestWithParam<FamilyList> {};

// Each rating holds from just above the previous rating's reach up to itself plus the
// tolerance; past the last one the measurement stands.
TEST_P(NormFreqListTest, EveryBoundaryOfTheList) {
    const FamilyList& list = GetParam();
    int32_t previous_reach = INT32_MIN;
    for (int32_t rating : list.ratings) {
        const int32_t reach = rating + list.tolerance;
        if (previous_reach != INT32_MIN) {
            EXPECT_EQ(NormFreq(list.family, previous_reach + 1), rating) << previous_reach + 1;
        }
        EXPECT_EQ(NormFreq(list.family, reach), rating) << reach;
        EXPECT_EQ(NormFreq(list.family, rating), rating) << rating;
        previous_reach = reach;
    }
    EXPECT_EQ(NormFreq(list.family, previous_reach + 1), previous_reach + 1);
    EXPECT_EQ(NormFreq(list.family, 100000), 100000);
    EXPECT_EQ(NormFreq(list.family, 0), list.ratings.front());
    EXPECT_EQ(NormFreq(list.family, -1), list.ratings.front());
    EXPECT_EQ(NormFreq(list.family, INT32_MIN), list.ratings.front());
    EXPECT_EQ(NormFreq(list.family, INT32_MAX), INT32_MAX);
}

INSTANTIATE_TEST_SUITE_P(Families, NormFreqListTest, testing::ValuesIn(kFamilies),
                         [](const auto& info) {
                             return "Family" + std::to_string(info.param.family);
                         });

// Only the whole word selects a list: a clone bit or a high byte selects none.
TEST(NormFreqTest, OtherWordsLeaveTheMeasurement) {
    const struct {
        uint16_t processor;
        int32_t freq;
    } rows[] = {{7, 2998},      {2, 0},         {0, 50},        {0x8006, 2998}, {0x8003, 18},
                {0x800F, 2998}, {0xFFFF, 2998}, {0x0106, 1136}, {1, -5}};
    for (const auto& row : rows)
        EXPECT_EQ(NormFreq(row.processor, row.freq), row.freq) << row.processor;
}

}  // namespace
