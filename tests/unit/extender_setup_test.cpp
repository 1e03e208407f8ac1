// What the host does before any script call: the query export, the handshake, the
// enumeration of the function table, and the entry point.
#include <gtest/gtest.h>
#include <string.h>

#include "extender/function_table.h"
#include "extender/module.h"
#include "fake_host.h"
#include "resources/messages.h"

namespace {

using test_host::host;

class SetupTest : public testing::Test {
  protected:
    void SetUp() override { test_host::ResetAll(); }
};

// -------------------------------------------------------------------------------------------
// Handshake (request -1).

struct HandshakeCase {
    const char* name;
    uint32_t host_version;
    int32_t answer;
};

const HandshakeCase kHandshakeCases[] = {
    {"too_old", 1003, -1},
    {"oldest_accepted", 1004, 10},
    {"zero", 0, -1},
    {"largest_unsigned", 0xFFFFFFFF, 10},
    {"sign_bit", 0x80000000, 10},
};

class HandshakeTest : public SetupTest, public testing::WithParamInterface<HandshakeCase> {};

TEST_P(HandshakeTest, ComparesTheHostVersionUnsigned) {
    const HandshakeCase& c = GetParam();
    uint8_t info[16] = {};
    StoreWord(info, kHostVersionOffset, c.host_version);
    char buffer[40];
    memset(buffer, '#', sizeof buffer);
    int32_t answer = QELExtender2(nullptr, 0, 0, 0xFFFF, nullptr, info, 0, buffer, 0, nullptr);
    EXPECT_EQ(answer, c.answer);
    if (answer == -1) {
        EXPECT_STREQ(buffer, "Need newer version of QEL DLL");
        EXPECT_EQ(buffer[30], '#');  // 29 characters and the NUL, nothing more
    } else {
        EXPECT_EQ(buffer[0], '#');
    }
    EXPECT_TRUE(host().callbacks.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, HandshakeTest, testing::ValuesIn(kHandshakeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupTest, HandshakeWithoutBufferOrHostInfoStillAnswers) {
    uint8_t info[16] = {};
    StoreWord(info, kHostVersionOffset, 1003);
    EXPECT_EQ(QELExtender2(nullptr, 0, 0, 0xFFFF, nullptr, info, 0, nullptr, 0, nullptr), -1);
    char buffer[32] = {};
    EXPECT_EQ(QELExtender2(nullptr, 0, 0, 0xFFFF, nullptr, nullptr, 0, buffer, 0, nullptr), -1);
    EXPECT_STREQ(buffer, "Need newer version of QEL DLL");
}

// -------------------------------------------------------------------------------------------
// Enumeration (request -2).

struct RowCase {
    int32_t index;
    int32_t identifier;
    int32_t argument_count;
    const char* name;
};

const RowCase kRows[] = {
    {0, 1, 1, "cversioninfo"}, {1, 2, 0, "ccpuid"},      {2, 3, 0, "ccpufeat"},
    {3, 4, 0, "ccpuidext"},    {4, 5, 1, "ccpuspeed"},   {5, 6, 0, "ccpusupt"},
    {6, 7, 0, "cmemstat"},     {7, 8, 0, "cclonecheck"}, {8, 9, 5, "ccpubenchmark"},
    {9, 10, 0, "cvendorid"},
};

class EnumerationTest : public SetupTest, public testing::WithParamInterface<RowCase> {};

TEST_P(EnumerationTest, FillsTheHostRecordFromTheRow) {
    const RowCase& c = GetParam();
    uint8_t record[64];
    memset(record, 0xAB, sizeof record);
    EXPECT_EQ(QELExtender2(nullptr, 0, 0, 0xFFFE, nullptr, nullptr, 0, record, c.index, nullptr),
              1);
    EXPECT_EQ(static_cast<int32_t>(LoadWord(record, 0)), c.identifier);
    EXPECT_EQ(static_cast<int32_t>(LoadWord(record, 4)), 2);
    const uint8_t argument_types[8] = {0x11, 0x11, 0x01, 0, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(record + 8, argument_types, 8), 0);
    EXPECT_EQ(static_cast<int32_t>(LoadWord(record, 16)), c.argument_count);
    size_t length = strlen(c.name);
    EXPECT_EQ(record[20] | record[21] << 8, static_cast<int>(length));
    EXPECT_STREQ(reinterpret_cast<char*>(record + 22), c.name);
    for (size_t i = 22 + length + 1; i < sizeof record; ++i) {
        EXPECT_EQ(record[i], 0xAB) << "byte " << i << " after the name was written";
    }
    EXPECT_TRUE(host().callbacks.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, EnumerationTest, testing::ValuesIn(kRows));

class EnumerationEndTest : public SetupTest, public testing::WithParamInterface<int32_t> {};

TEST_P(EnumerationEndTest, AnswersZeroAndWritesNothing) {
    uint8_t record[64];
    memset(record, 0xAB, sizeof record);
    EXPECT_EQ(QELExtender2(nullptr, 0, 0, 0xFFFE, nullptr, nullptr, 0, record, GetParam(), nullptr),
              0);
    for (uint8_t byte : record)
        EXPECT_EQ(byte, 0xAB);
}

// The end marker, and indexes outside the table that must never be read.
INSTANTIATE_TEST_SUITE_P(Indexes, EnumerationEndTest,
                         testing::Values(10, 11, 56, 1000000, -1, -11, INT32_MIN, INT32_MAX));

TEST_F(SetupTest, EnumerationWithoutRecordStillAnswersOne) {
    EXPECT_EQ(QELExtender2(nullptr, 0, 0, 0xFFFE, nullptr, nullptr, 0, nullptr, 3, nullptr), 1);
}

TEST_F(SetupTest, TheLibrarysTableKeepsZeroNameLengths) {
    uint8_t record[56];
    Enumerate(0, record);
    EXPECT_EQ(FunctionTable[0].name_length, 0);
    EXPECT_EQ(FunctionTable[10].identifier, -1);
}

// -------------------------------------------------------------------------------------------
// The query export.

struct DescriptionCase {
    int32_t size;
    const char* received;
};

const DescriptionCase kDescriptionCases[] = {
    {5, "QEL "},
    {64, "QEL Cpu Speed Extender."},
    {24, "QEL Cpu Speed Extender."},
    {23, "QEL Cpu Speed Extender"},
    {1, ""},
};

class DescriptionTest : public SetupTest, public testing::WithParamInterface<DescriptionCase> {};

TEST_P(DescriptionTest, CopiesAtMostSizeMinusOneCharacters) {
    const DescriptionCase& c = GetParam();
    char buffer[80];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(QELExtenderQuery(1, buffer, c.size), 44001);
    EXPECT_STREQ(buffer, c.received);
    EXPECT_EQ(buffer[strlen(c.received) + 1], '#');
}

INSTANTIATE_TEST_SUITE_P(Sizes, DescriptionTest, testing::ValuesIn(kDescriptionCases));

TEST_F(SetupTest, DescriptionNeedsABufferAndAPositiveSize) {
    char buffer[8] = "#######";
    EXPECT_EQ(QELExtenderQuery(1, buffer, 0), 44001);
    EXPECT_EQ(QELExtenderQuery(1, buffer, -5), 44001);
    EXPECT_EQ(QELExtenderQuery(1, nullptr, 64), 44001);
    EXPECT_STREQ(buffer, "#######");
    EXPECT_EQ(QELExtenderQuery(0x00010001, buffer, 8), 44001);  // high word ignored
    EXPECT_STREQ(buffer, "QEL Cpu");
}

struct ScanCase {
    const char* name;
    std::vector<int32_t> list;
    int32_t count;
    int32_t answer;
};

const ScanCase kScanCases[] = {
    {"no_four", {1, 2, 3}, 3, -1},   {"four_last", {3, 4}, 2, 4},
    {"four_twice", {4, 5, 4}, 3, 4}, {"count_zero", {4}, 0, -1},
    {"count_negative", {4}, -1, -1}, {"four_beyond_count", {1, 4}, 1, -1},
};

class ScanTest : public SetupTest, public testing::WithParamInterface<ScanCase> {};

TEST_P(ScanTest, FindsTheValueFour) {
    const ScanCase& c = GetParam();
    std::vector<int32_t> list = c.list;
    EXPECT_EQ(QELExtenderQuery(2, list.data(), c.count), c.answer);
    EXPECT_EQ(QELExtenderQuery(0xABCD0002, list.data(), c.count), c.answer);
}

INSTANTIATE_TEST_SUITE_P(Table, ScanTest, testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupTest, ScanOfNoListFindsNothing) {
    EXPECT_EQ(QELExtenderQuery(2, nullptr, 3), -1);
}

TEST_F(SetupTest, OtherQueryCodesAnswerZero) {
    char buffer[8] = "#######";
    for (uint32_t code : {0u, 3u, 0xFFFFu, 0x00010000u}) {
        EXPECT_EQ(QELExtenderQuery(code, buffer, 8), 0) << code;
    }
    EXPECT_STREQ(buffer, "#######");
}

// -------------------------------------------------------------------------------------------
// The entry point and the string table.

TEST_F(SetupTest, EntryPointRecordsTheHandleForEveryReason) {
    for (uint32_t reason : {0u, 1u, 2u, 3u}) {
        void* handle = reinterpret_cast<void*>(0x20000000 + reason * 0x10000);
        EXPECT_EQ(DllMain(handle, reason, nullptr), 1);
        EXPECT_EQ(ModuleHandle, handle);
    }
}

TEST_F(SetupTest, MessageTextsAreExact) {
    EXPECT_EQ(strlen(KZ_TEXT_INVALID_PARAMETER), 25u);
    EXPECT_STREQ(KZ_TEXT_INVALID_VERSION, "17100:  Invalid DLL Version");
    EXPECT_STREQ(KZ_TEXT_SPEED_MODE, "17102: cCpuSpeed requires a number 0-3.");
    EXPECT_STREQ(KZ_TEXT_BENCHMARK_LOOP,
                 "17103: cCpuBenchMark SLoop (or default SLoop) number too small.");
}

}  // namespace
