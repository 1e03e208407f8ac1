// The CPUID model: every leaf as recorded, zeros for what the dump lacks, subleaves by ECX;
// and its words on the runner's pipe.
#include "host/virtual_cpu/cpuid_model.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/virtual_cpu/cpuid_wire.h"

namespace qel::virtual_cpu {
namespace {

// A K6-2's leaves (libcpuid's amd-k6-2-chomper dump), with subleaves added to show how they
// answer: leaf 4 with three, leaf 0xd with subleaf 1 alone.
CpuidModel SampleModel() {
    CpuidModel model;
    for (const CpuidRecord& record : std::vector<CpuidRecord>{
             {0x00000000, 0, 0x00000001, 0x68747541, 0x444d4163, 0x69746e65},
             {0x00000001, 0, 0x00000580, 0x00000000, 0x00000000, 0x008001bf},
             {0x00000004, 0, 0x04000121, 0x01c0003f, 0x0000003f, 0},
             {0x00000004, 1, 0x04000122, 0x01c0003f, 0x0000003f, 0},
             {0x00000004, 2, 0x04004143, 0x01c0003f, 0x00000fff, 0},
             {0x0000000d, 1, 0x0000000f, 0x000003d0, 0x00019900, 0},
             {0x80000000, 0, 0x80000005, 0, 0, 0},
             {0x80000001, 0, 0x00000680, 0, 0, 0x808009bf},
         })
        EXPECT_TRUE(model.Add(record));
    return model;
}

struct AnswerCase {
    const char* what;
    uint32_t leaf, subleaf;
    CpuidAnswer answer;
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
    *out << c.what;
}

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, AreTheRecordedRegisters) {
    const AnswerCase& c = GetParam();
    EXPECT_EQ(SampleModel().Answer(c.leaf, c.subleaf), c.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Leaves, Answers,
    testing::Values(
        AnswerCase{"leaf 0", 0, 0, {0x00000001, 0x68747541, 0x444d4163, 0x69746e65}},
        AnswerCase{"leaf 1: the K6-2's own EDX", 1, 0, {0x00000580, 0, 0, 0x008001bf}},
        AnswerCase{"a leaf recorded only as subleaf 0 whatever ECX holds",
                   1,
                   0xdeadbeef,
                   {0x00000580, 0, 0, 0x008001bf}},
        AnswerCase{"leaf 4 subleaf 1", 4, 1, {0x04000122, 0x01c0003f, 0x0000003f, 0}},
        AnswerCase{"leaf 4 subleaf 2", 4, 2, {0x04004143, 0x01c0003f, 0x00000fff, 0}},
        AnswerCase{"leaf 4 beyond its subleaves: zeros", 4, 3, {}},
        AnswerCase{"a leaf recorded only as subleaf 1, at 1", 0xd, 1, {0xf, 0x3d0, 0x19900, 0}},
        AnswerCase{"a leaf recorded only as subleaf 1, at 0: zeros", 0xd, 0, {}},
        AnswerCase{"a basic leaf the dump lacks: zeros", 2, 0, {}},
        AnswerCase{"an extended leaf", 0x80000001, 0, {0x00000680, 0, 0, 0x808009bf}},
        AnswerCase{"an extended leaf the dump lacks: zeros", 0x80000008, 0, {}}));

TEST(CpuidModel, HoldsEachLeafAndSubleafOnceUpToItsCapacity) {
    CpuidModel model = SampleModel();
    EXPECT_FALSE(model.Add({4, 1, 1, 2, 3, 4})) << "leaf 4 subleaf 1 twice";
    EXPECT_EQ(model.Answer(4, 1).eax, 0x04000122u);
    CpuidModel full;
    for (uint32_t leaf = 0; leaf < CpuidModel::kCapacity; leaf++)
        ASSERT_TRUE(full.Add({leaf, 0, leaf, 0, 0, 0}));
    EXPECT_FALSE(full.Add({0x80000000, 0, 1, 0, 0, 0}));
    EXPECT_EQ(full.Records().size(), CpuidModel::kCapacity);
    EXPECT_EQ(full.Answer(0x80000000, 0), CpuidAnswer{});
}

TEST(CpuidWire, CarriesTheModelWordForWord) {
    const CpuidModel model = SampleModel();
    std::vector<uint32_t> words(kCpuidWireMaxWords);
    const size_t written = WriteCpuidWire(model, words);
    ASSERT_EQ(written, CpuidWireWords(8));
    words.resize(written);
    CpuidModel read;
    ASSERT_TRUE(ReadCpuidWire(words, &read));
    EXPECT_TRUE(std::equal(read.Records().begin(), read.Records().end(), model.Records().begin(),
                           model.Records().end()));
    EXPECT_EQ(read.Answer(1, 7), model.Answer(1, 7));

    std::vector<uint32_t> too_small(written - 1);
    EXPECT_EQ(WriteCpuidWire(model, too_small), 0u);
}

struct DamagedWireCase {
    const char* what;
    std::vector<uint32_t> words;
};

void PrintTo(const DamagedWireCase& c, std::ostream* out) {
    *out << c.what;
}

class DamagedWire : public testing::TestWithParam<DamagedWireCase> {};

TEST_P(DamagedWire, IsRefusedAndLeavesTheModelAlone) {
    CpuidModel model = SampleModel();
    EXPECT_FALSE(ReadCpuidWire(GetParam().words, &model));
    EXPECT_EQ(model.Records().size(), 8u);
}

INSTANTIATE_TEST_SUITE_P(
    Words, DamagedWire,
    testing::Values(
        DamagedWireCase{"nothing", {}}, DamagedWireCase{"another tag", {0x12345678, 0}},
        DamagedWireCase{"one word short", {kCpuidWireTag, 1, 0, 0, 1, 2, 3}},
        DamagedWireCase{"one word over", {kCpuidWireTag, 1, 0, 0, 1, 2, 3, 4, 5}},
        DamagedWireCase{"a count beyond the capacity", {kCpuidWireTag, CpuidModel::kCapacity + 1}},
        DamagedWireCase{"a leaf twice", {kCpuidWireTag, 2, 1, 0, 1, 2, 3, 4, 1, 0, 5, 6, 7, 8}}));

}  // namespace
}  // namespace qel::virtual_cpu
