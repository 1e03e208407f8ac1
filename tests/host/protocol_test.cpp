// The real DLL driven through its two exports as the QEL host drives it.
#include <string.h>

#include "host/protocol/extender_protocol.h"
#include "tests/support/shared_dll.h"

namespace {

using host_test::DllTest;
using host_test::RawCallback;
using host_test::Word;

// --- query export -------------------------------------------------------------------------

struct QueryTextCase {
    uint32_t code;
    int32_t buffer_size;        // bytes offered; the real buffer is larger, pre-filled with '#'
    const char* expected_text;  // nullptr: nothing may be written
    int32_t expected_answer;
    friend void PrintTo(const QueryTextCase& c, std::ostream* out) {
        *out << "code " << c.code << " size " << c.buffer_size;
    }
};

class QueryText : public DllTest, public testing::WithParamInterface<QueryTextCase> {};

TEST_P(QueryText, CopiesAtMostSizeMinusOneAndAnswersVersion) {
    const QueryTextCase& c = GetParam();
    char buffer[128];
    memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = 0;
    EXPECT_EQ(dll().Query(c.code, buffer, c.buffer_size), c.expected_answer);
    if (c.expected_text == nullptr) {
        EXPECT_EQ(std::string(buffer), std::string(sizeof buffer - 1, '#'));
    } else {
        EXPECT_STREQ(buffer, c.expected_text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, QueryText,
    testing::Values(QueryTextCase{1, 5, "QEL ", 44001},
                    QueryTextCase{1, 64, "QEL Cpu Speed Extender.", 44001},
                    QueryTextCase{1, 24, "QEL Cpu Speed Extender.", 44001},
                    QueryTextCase{1, 23, "QEL Cpu Speed Extender", 44001},
                    QueryTextCase{1, 1, "", 44001}, QueryTextCase{1, 0, nullptr, 44001},
                    QueryTextCase{1, -5, nullptr, 44001},
                    QueryTextCase{0x00010001, 64, "QEL Cpu Speed Extender.", 44001},
                    QueryTextCase{0xFFFF0001, 64, "QEL Cpu Speed Extender.", 44001},
                    QueryTextCase{0, 64, nullptr, 0}, QueryTextCase{3, 64, nullptr, 0},
                    QueryTextCase{0x00010000, 64, nullptr, 0}));

TEST_F(DllTest, QueryCodeOneWithNullBufferStillAnswersVersion) {
    EXPECT_EQ(dll().Query(1, nullptr, 64), 44001);
}

struct QueryListCase {
    std::vector<int32_t> list;
    int32_t count;
    int32_t expected;
    friend void PrintTo(const QueryListCase& c, std::ostream* out) {
        *out << "count " << c.count << " expects " << c.expected;
    }
};

class QueryList : public DllTest, public testing::WithParamInterface<QueryListCase> {};

TEST_P(QueryList, ScansForFour) {
    std::vector<int32_t> list = GetParam().list;
    list.push_back(4);  // beyond the count: must not be seen
    EXPECT_EQ(dll().Query(2, list.data(), GetParam().count), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lists, QueryList,
                         testing::Values(QueryListCase{{1, 2, 3}, 3, -1},
                                         QueryListCase{{3, 4}, 2, 4},
                                         QueryListCase{{4, 5, 4}, 3, 4}, QueryListCase{{}, 0, -1},
                                         QueryListCase{{1}, -1, -1}, QueryListCase{{1, 2}, 2, -1}));

// --- handshake and enumeration ------------------------------------------------------------

struct HandshakeCase {
    uint32_t host_version;
    int32_t expected;
    const char* expected_text;  // what the buffer holds afterwards
    friend void PrintTo(const HandshakeCase& c, std::ostream* out) {
        *out << "host version " << c.host_version;
    }
};

class Handshake : public DllTest, public testing::WithParamInterface<HandshakeCase> {};

TEST_P(Handshake, ComparesUnsignedWith1004) {
    char buffer[64] = "untouched";
    EXPECT_EQ(dll().Handshake(GetParam().host_version, buffer), GetParam().expected);
    EXPECT_STREQ(buffer, GetParam().expected_text);
}

INSTANTIATE_TEST_SUITE_P(Versions, Handshake,
                         testing::Values(HandshakeCase{1003, -1, "Need newer version of QEL DLL"},
                                         HandshakeCase{0, -1, "Need newer version of QEL DLL"},
                                         HandshakeCase{1004, 10, "untouched"},
                                         HandshakeCase{1005, 10, "untouched"},
                                         HandshakeCase{0xFFFFFFFF, 10, "untouched"},
                                         HandshakeCase{0x80000000, 10, "untouched"}));

struct RowCase {
    int32_t index;
    int32_t identifier;
    int32_t argument_count;
    const char* name;
    friend void PrintTo(const RowCase& c, std::ostream* out) { *out << c.name; }
};

class Enumeration : public DllTest, public testing::WithParamInterface<RowCase> {};

TEST_P(Enumeration, FillsTheRecordFromTheTable) {
    const RowCase& c = GetParam();
    uint8_t record[56 + 8];
    memset(record, 0xAB, sizeof record);
    ASSERT_EQ(dll().Enumerate(c.index, record), 1);
    int32_t words[5];
    memcpy(words, record, sizeof words);
    EXPECT_EQ(words[0], c.identifier);
    EXPECT_EQ(words[1], 2);  // FunctionKind
    EXPECT_EQ(words[2], 0x11111);
    EXPECT_EQ(words[3], 0);
    EXPECT_EQ(words[4], c.argument_count);
    int16_t name_length;
    memcpy(&name_length, record + 20, 2);
    EXPECT_EQ(name_length, static_cast<int16_t>(strlen(c.name)));
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 22), c.name);
    // Bytes after the name's NUL are not written.
    EXPECT_EQ(record[22 + strlen(c.name) + 1], 0xAB);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Enumeration,
    testing::Values(RowCase{0, 1, 1, "cversioninfo"}, RowCase{1, 2, 0, "ccpuid"},
                    RowCase{2, 3, 0, "ccpufeat"}, RowCase{3, 4, 0, "ccpuidext"},
                    RowCase{4, 5, 1, "ccpuspeed"}, RowCase{5, 6, 0, "ccpusupt"},
                    RowCase{6, 7, 0, "cmemstat"}, RowCase{7, 8, 0, "cclonecheck"},
                    RowCase{8, 9, 5, "ccpubenchmark"}, RowCase{9, 10, 0, "cvendorid"}));

TEST_F(DllTest, EnumerationWithNullRecordAnswersOne) {
    EXPECT_EQ(dll().Enumerate(3, nullptr), 1);
}

TEST_F(DllTest, FunctionsWalksTheWholeTable) {
    const std::vector<qel::FunctionRow> rows = dll().Functions();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.back().name, "cvendorid");
}

// --- raw dispatch: records and callback -------------------------------------------------

struct RawCallCase {
    uint32_t function_number;
    const char* argument;  // text of argument 1
    int32_t expected_status;
    friend void PrintTo(const RawCallCase& c, std::ostream* out) {
        *out << "function " << c.function_number;
    }
};

class RawDispatch : public DllTest, public testing::WithParamInterface<RawCallCase> {};

// A value leaves the text field alone, an error the value field; the callback gets the
// host's context, HostInfo and ResultRecord back, and its answer becomes the export's.
TEST_P(RawDispatch, WritesOnlyItsFieldsAndHandsEverythingBack) {
    const RawCallCase& c = GetParam();
    uint8_t arguments[5 * 40] = {};  // five ArgumentRecords; text pointers at 32
    const uint32_t text = Word(c.argument);
    memcpy(arguments + 32, &text, 4);
    uint8_t host_info[16] = {};
    uint8_t result[40];
    memset(result, 0xA5, sizeof result);
    RawCallback::calls = 0;
    const int32_t answer = dll().Dispatch(0, 0, 0xC0FFEE, c.function_number, RawCallback::Address(),
                                          Word(host_info), 0, Word(arguments), 0, Word(result));
    EXPECT_EQ(answer, RawCallback::kAnswer);
    EXPECT_EQ(RawCallback::calls, 1);
    EXPECT_EQ(RawCallback::status, c.expected_status);
    EXPECT_EQ(RawCallback::context, 0xC0FFEEu);
    EXPECT_EQ(RawCallback::info, host_info);
    EXPECT_EQ(RawCallback::record, result);
    uint32_t value, type, text_pointer;
    memcpy(&value, result + 24, 4);
    memcpy(&type, result + 28, 4);
    memcpy(&text_pointer, result + 32, 4);
    if (c.expected_status == 0) {
        EXPECT_EQ(type, 1u);
        EXPECT_EQ(text_pointer, 0xA5A5A5A5u);
    } else {
        EXPECT_EQ(type, 2u);
        EXPECT_EQ(value, 0xA5A5A5A5u);
        EXPECT_NE(text_pointer, 0xA5A5A5A5u);
    }
    for (int offset : {0, 20, 36})
        EXPECT_EQ(result[offset], 0xA5) << "offset " << offset;
}

INSTANTIATE_TEST_SUITE_P(Numbers, RawDispatch,
                         testing::Values(RawCallCase{1, "0", 0}, RawCallCase{1, "x", -1},
                                         RawCallCase{2, nullptr, 0}, RawCallCase{7, nullptr, 0},
                                         RawCallCase{0, nullptr, -1}, RawCallCase{11, nullptr, -1},
                                         RawCallCase{0xFFFFFFFC, nullptr, -1},
                                         RawCallCase{0x00010001, "0", 0}));

TEST_F(DllTest, RequestMinusThreeAnswersOneAndCallsNothing) {
    RawCallback::calls = 0;
    EXPECT_EQ(dll().Dispatch(0, 0, 0, 0xFFFFFFFD, RawCallback::Address(), 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(RawCallback::calls, 0);
}

TEST_F(DllTest, ExportReturnsWhatTheCallbackAnswers) {
    for (int32_t answer : {0, 1, -1, 0x7FFFFFFF, 12345}) {
        dll().set_callback_answer(answer);
        EXPECT_EQ(dll().Call(6).returned, answer);
        EXPECT_EQ(dll().Call(1, {"abc"}).returned, answer);
    }
}

// --- the host's side of the callback --------------------------------------------------------

// A damaged DLL that calls back with a host context of its own making, once; the host must
// find its call without following that number (it once wrote through it).
__attribute__((stdcall)) int32_t DispatchHandingBackAWrongContext(
    uint32_t, uint32_t, uint32_t host_context, uint32_t, uint32_t callback, uint32_t host_info,
    uint32_t, uint32_t, uint32_t, uint32_t result_record) {
    using Callback = __attribute__((stdcall)) int32_t (*)(int32_t, uint32_t, void*, void*);
    const auto call_back = reinterpret_cast<Callback>(static_cast<uintptr_t>(callback));
    return call_back(0, host_context ^ 0x12345679,
                     reinterpret_cast<void*>(static_cast<uintptr_t>(host_info)),
                     reinterpret_cast<void*>(static_cast<uintptr_t>(result_record)));
}

TEST(HostCallback, NeverFollowsTheContextTheDllHandsBack) {
    const qel::ExtenderEntries entries{nullptr, &DispatchHandingBackAWrongContext};
    const char* const no_arguments[qel::kArgumentRecordCount] = {};
    const qel::CallRecord record = qel::CallFunction(entries, 2, no_arguments, 77);
    EXPECT_EQ(record.returned, 77);
    EXPECT_EQ(record.callbacks, 1);
    EXPECT_FALSE(record.arguments_handed_back);
}

}  // namespace
