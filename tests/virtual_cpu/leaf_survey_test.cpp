// The survey of a processor's leaves, run against recorded models: it records exactly what
// the model answers but its zeros, subleaves where they differ, and stops where a range or a
// topology leaf ends.
#include "host/virtual_cpu/leaf_survey.h"

#include <gtest/gtest.h>

#include <vector>

namespace qel::virtual_cpu {
namespace {

CpuidAnswer AskModel(void* model, uint32_t leaf, uint32_t subleaf) {
    return static_cast<const CpuidModel*>(model)->Answer(leaf, subleaf);
}

struct SurveyCase {
    const char* what;
    std::vector<CpuidRecord> records;
};

void PrintTo(const SurveyCase& c, std::ostream* out) {
    *out << c.what;
}

class Surveys : public testing::TestWithParam<SurveyCase> {};

TEST_P(Surveys, RecordWhatTheProcessorAnswers) {
    CpuidModel source;
    for (const CpuidRecord& record : GetParam().records)
        ASSERT_TRUE(source.Add(record));
    const Survey survey = SurveyLeaves(AskModel, &source);
    EXPECT_TRUE(survey.complete);
    std::vector<CpuidRecord> surveyed(survey.leaves.Records().begin(),
                                      survey.leaves.Records().end());
    EXPECT_EQ(surveyed, GetParam().records);
}

constexpr uint32_t kGenuineIntel[] = {0x756e6547, 0x6c65746e, 0x49656e69};

INSTANTIATE_TEST_SUITE_P(
    Processors, Surveys,
    testing::Values(SurveyCase{"a K6-2: basic and extended leaves",
                               {{0, 0, 1, 0x68747541, 0x444d4163, 0x69746e65},
                                {1, 0, 0x580, 0, 0, 0x008001bf},
                                {0x80000000, 0, 0x80000005, 0, 0, 0},
                                {0x80000001, 0, 0x680, 0, 0, 0x808009bf},
                                {0x80000002, 0, 0x2d444d41, 0x7428364b, 0x3320296d, 0x72702044},
                                {0x80000003, 0, 0x7365636f, 0x00726f73, 0, 0},
                                {0x80000005, 0, 0, 0x02800140, 0x20020220, 0x20020220}}},
                    SurveyCase{"cache subleaves up to the first empty one",
                               {{0, 0, 4, kGenuineIntel[0], kGenuineIntel[1], kGenuineIntel[2]},
                                {1, 0, 0x6f6, 0x00020800, 0xe3bd, 0xbfebfbff},
                                {2, 0, 0x05b0b101, 0x005657f0, 0, 0x2cb43049},
                                {4, 0, 0x04000121, 0x01c0003f, 0x3f, 1},
                                {4, 1, 0x04000122, 0x01c0003f, 0x3f, 1},
                                {4, 2, 0x04004143, 0x03c0003f, 0xfff, 1}}},
                    SurveyCase{"sparse XSAVE subleaves, and a leaf 7 alike at every ECX",
                               {{0, 0, 0xd, kGenuineIntel[0], kGenuineIntel[1], kGenuineIntel[2]},
                                {7, 0, 0, 0x239c27eb, 0x98c027ac, 0xfc1cc410},
                                {0xd, 0, 0x207, 0x340, 0xa88, 0},
                                {0xd, 1, 0xf, 0x3d0, 0x19900, 0},
                                {0xd, 2, 0x100, 0x240, 0, 0},
                                {0xd, 9, 8, 0xa80, 0, 0}}},
                    SurveyCase{
                        "topology levels up to the first invalid one, which keeps its x2APIC ID",
                        {{0, 0, 0xb, kGenuineIntel[0], kGenuineIntel[1], kGenuineIntel[2]},
                         {0xb, 0, 1, 2, 0x100, 3},
                         {0xb, 1, 7, 0x14, 0x201, 3},
                         {0xb, 2, 0, 0, 2, 3}}},
                    SurveyCase{"a Centaur range",
                               {{0, 0, 1, 0x746e6543, 0x736c7561, 0x48727561},
                                {1, 0, 0x673, 0, 0, 0x00803035},
                                {0xc0000000, 0, 0xc0000001, 0, 0, 0},
                                {0xc0000001, 0, 0, 0, 0, 0x0000000c}}}));

CpuidAnswer DamagedProcessor(void*, uint32_t leaf, uint32_t subleaf) {
    return {leaf == 0 ? 0xffffffffu : leaf + 1, subleaf + 1, 1, 1};
}

TEST(Surveys, StopAtTheModelsCapacity) {
    const Survey survey = SurveyLeaves(DamagedProcessor, nullptr);
    EXPECT_FALSE(survey.complete);
    EXPECT_EQ(survey.leaves.Records().size(), CpuidModel::kCapacity);
}

}  // namespace
}  // namespace qel::virtual_cpu
