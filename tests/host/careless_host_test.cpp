// The real DLL facing a careless host: null pointers where records belong and enumeration
// indexes outside the table. Every case answers without writing through a null pointer,
// without calling a null callback and without reading past the function table.
#include <string.h>

#include "tests/support/shared_dll.h"

namespace {

using host_test::DllTest;
using host_test::RawCallback;
using host_test::Word;

class OutsideTheTable : public DllTest, public testing::WithParamInterface<int32_t> {};

TEST_P(OutsideTheTable, AnswersZeroAndWritesNothing) {
    uint8_t record[56];
    memset(record, 0xAB, sizeof record);
    EXPECT_EQ(dll().Enumerate(GetParam(), record), 0);
    for (uint8_t byte : record)
        ASSERT_EQ(byte, 0xAB);
}

INSTANTIATE_TEST_SUITE_P(Indexes, OutsideTheTable,
                         testing::Values(10, 11, 56, 1000000, -1, -11, INT32_MIN, INT32_MAX));

TEST_F(DllTest, TooOldHostWithoutBufferIsStillRefused) {
    EXPECT_EQ(dll().Handshake(1003, nullptr), -1);
}

TEST_F(DllTest, HandshakeWithoutHostInfoCountsAsTooOld) {
    char buffer[40] = {};
    EXPECT_EQ(dll().Dispatch(0, 0, 0, 0xFFFFFFFF, 0, 0, 0, Word(buffer), 0, 0), -1);
    EXPECT_STREQ(buffer, "Need newer version of QEL DLL");
}

TEST_F(DllTest, ScanOfNoListFindsNoFour) {
    EXPECT_EQ(dll().Query(2, nullptr, 3), -1);
}

// A null ResultRecord gets nothing written; a null callback is not called, and the export
// answers the status it would have passed.
struct NullCase {
    const char* name;
    bool record;
    bool callback;
    const char* argument;
    int32_t status;
    friend void PrintTo(const NullCase& c, std::ostream* out) { *out << c.name; }
};

class NullHostPointers : public DllTest, public testing::WithParamInterface<NullCase> {};

TEST_P(NullHostPointers, WriteNothingAndCallNothingNull) {
    const NullCase& c = GetParam();
    uint8_t arguments[5 * 40] = {};  // five ArgumentRecords; text pointers at 32
    const uint32_t text = Word(c.argument);
    memcpy(arguments + 32, &text, 4);
    uint8_t result[40];
    memset(result, 0xA5, sizeof result);
    RawCallback::calls = 0;
    const uint32_t callback = c.callback ? RawCallback::Address() : 0;
    const int32_t answer =
        dll().Dispatch(0, 0, 0, 1, callback, 0, 0, Word(arguments), 0, c.record ? Word(result) : 0);
    EXPECT_EQ(answer, c.callback ? RawCallback::kAnswer : c.status);
    EXPECT_EQ(RawCallback::calls, c.callback ? 1 : 0);
    if (!c.record) {
        for (uint8_t byte : result)
            ASSERT_EQ(byte, 0xA5);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, NullHostPointers,
                         testing::Values(NullCase{"no_record_value", false, true, "0", 0},
                                         NullCase{"no_record_error", false, true, "9", -1},
                                         NullCase{"no_callback_value", true, false, "0", 0},
                                         NullCase{"no_callback_error", true, false, "9", -1},
                                         NullCase{"neither_value", false, false, "0", 0},
                                         NullCase{"neither_error", false, false, "x", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DllTest, NoArgumentBlockMeansFiveAbsentArguments) {
    uint8_t result[40] = {};
    RawCallback::calls = 0;
    dll().Dispatch(0, 0, 0, 1, RawCallback::Address(), 0, 0, 0, 0, Word(result));
    EXPECT_EQ(RawCallback::calls, 1);
    uint32_t text_pointer;
    memcpy(&text_pointer, result + 32, 4);
    EXPECT_STREQ(reinterpret_cast<const char*>(static_cast<uintptr_t>(text_pointer)),
                 "17101: Invalid Parameter.");
}

}  // namespace
