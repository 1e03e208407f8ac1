// Set-up requests where the fake platform sees more than the real DLL shows: a handshake
// without buffer or HostInfo, indexes outside the table, the library's own table, the entry
// point. The full tables of answers are proven on the real DLL (tests/host).
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

TEST_F(SetupTest, TheLibrarysTableKeepsZeroNameLengths) {
    uint8_t record[56];
    Enumerate(0, record);
    EXPECT_EQ(FunctionTable[0].name_length, 0);
    EXPECT_EQ(FunctionTable[10].identifier, -1);
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
