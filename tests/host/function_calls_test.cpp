// Every script function through Call(): values, errors with their exact texts, message boxes.
#include "tests/support/shared_dll.h"

namespace {

using host_test::DllTest;
using Args = std::vector<std::optional<std::string>>;

constexpr int32_t kValue = 0;
constexpr int32_t kError = -1;

struct CallCase {
    const char* label;
    uint32_t number;
    Args args;
    int32_t status;
    int32_t value;     // for values
    const char* text;  // for errors
    friend void PrintTo(const CallCase& c, std::ostream* out) { *out << c.label; }
};

class FunctionCall : public DllTest, public testing::WithParamInterface<CallCase> {};

TEST_P(FunctionCall, ReportsExactlyOneOutcome) {
    const CallCase& c = GetParam();
    const qel::Outcome outcome = dll().Call(c.number, c.args);
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_TRUE(outcome.arguments_handed_back);
    ASSERT_EQ(outcome.status, c.status);
    if (c.status == kValue) {
        EXPECT_EQ(outcome.result_type, 1);
        EXPECT_EQ(outcome.value, c.value);
    } else {
        EXPECT_EQ(outcome.result_type, 2);
        EXPECT_EQ(outcome.text, c.text);
    }
}

const char* const kInvalidParameter = "17101: Invalid Parameter.";
const char* const kInvalidVersion = "17100:  Invalid DLL Version";

INSTANTIATE_TEST_SUITE_P(
    Protocol, FunctionCall,
    testing::Values(CallCase{"version", 1, {"0"}, kValue, 44001, ""},
                    CallCase{"function_count", 1, {"1"}, kValue, 10, ""},
                    CallCase{"kind_three_count", 1, {"2"}, kValue, 0, ""},
                    CallCase{"blank_plus_one", 1, {" +1"}, kValue, 10, ""},
                    CallCase{"lone_blank_is_zero", 1, {" "}, kValue, 44001, ""},
                    CallCase{"three", 1, {"3"}, kError, 0, kInvalidVersion},
                    CallCase{"minus_one", 1, {"-1"}, kError, 0, kInvalidVersion},
                    CallCase{"wrapped_to_zero", 1, {"4294967296"}, kValue, 44001, ""},
                    CallCase{"empty", 1, {""}, kError, 0, kInvalidParameter},
                    CallCase{"trailing_blank", 1, {"1 "}, kError, 0, kInvalidParameter},
                    CallCase{"absent", 1, {}, kError, 0, kInvalidParameter},
                    CallCase{"number_zero", 0, {}, kError, 0, ""},
                    CallCase{"number_eleven", 11, {}, kError, 0, ""},
                    CallCase{"number_minus_four", 0xFFFFFFFC, {}, kError, 0, ""},
                    CallCase{"number_0x10000", 0x00010000, {}, kError, 0, ""},
                    CallCase{"high_word_ignored", 0xABCD0001, {"0"}, kValue, 44001, ""}),
    [](const testing::TestParamInfo<CallCase>& info) { return std::string(info.param.label); });

// Functions that never fail: one value and one callback each, whatever arguments come along.
class EveryFunction : public DllTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(EveryFunction, CompletesWithOneCallback) {
    const qel::Outcome outcome = dll().Call(GetParam(), {"0", "5", "1", "0", "0"});
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, kValue);
    EXPECT_EQ(outcome.result_type, 1);
}

INSTANTIATE_TEST_SUITE_P(Numbers, EveryFunction, testing::Range(1u, 11u));

// --- message boxes --------------------------------------------------------------------------

struct BoxCase {
    const char* argument;
    int box_answer;
    int32_t value;
    friend void PrintTo(const BoxCase& c, std::ostream* out) {
        *out << "\"" << c.argument << "\" answer " << c.box_answer;
    }
};

class VersionBox : public DllTest, public testing::WithParamInterface<BoxCase> {};

TEST_P(VersionBox, ShowsTheArgumentTextAndIgnoresTheButton) {
    qel::emulation().box_answer = GetParam().box_answer;
    const qel::Outcome outcome = dll().Call(1, {GetParam().argument});
    EXPECT_EQ(outcome.value, GetParam().value);
    ASSERT_EQ(qel::emulation().boxes_shown.size(), 1u);
    EXPECT_EQ(qel::emulation().boxes_shown[0].caption, "Extender Version");
    EXPECT_EQ(qel::emulation().boxes_shown[0].text, GetParam().argument);
    EXPECT_EQ(qel::emulation().box_style_last, 0x41u);  // OK/Cancel, information icon
}

INSTANTIATE_TEST_SUITE_P(Buttons, VersionBox,
                         testing::Values(BoxCase{"1", 1, 10}, BoxCase{"1", 2, 10},
                                         BoxCase{"2", 1, 0}, BoxCase{"2", 2, 0},
                                         BoxCase{" +1", 1, 10}, BoxCase{"+2", 2, 0}));

TEST_F(DllTest, ErrorsAndVersionZeroShowNoBox) {
    for (const char* argument : {"0", "3", "abc", ""})
        dll().Call(1, {argument});
    EXPECT_TRUE(qel::emulation().boxes_shown.empty());
}

// --- memory ---------------------------------------------------------------------------------

struct MemoryCase {
    uint64_t emulated;
    bool large_address_aware;
    uint32_t reported;
    friend void PrintTo(const MemoryCase& c, std::ostream* out) {
        *out << c.emulated << (c.large_address_aware ? " bytes, large-address-aware" : " bytes");
    }
};

class MemoryStatus : public DllTest, public testing::WithParamInterface<MemoryCase> {};

TEST_P(MemoryStatus, CmemstatReportsCappedPhysicalMemory) {
    qel::emulation().memory_bytes = GetParam().emulated;
    qel::emulation().large_address_aware = GetParam().large_address_aware;
    EXPECT_EQ(static_cast<uint32_t>(dll().Call(7).value), GetParam().reported);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryStatus,
                         testing::Values(MemoryCase{512ull << 20, false, 512u << 20},
                                         MemoryCase{0x7FFFFFFF, false, 0x7FFFFFFF},
                                         MemoryCase{0x80000000, false, 0x7FFFFFFF},
                                         MemoryCase{8ull << 30, false, 0x7FFFFFFF},
                                         MemoryCase{3ull << 30, true, 3u << 30},
                                         MemoryCase{0xFFFFFFFF, true, 0xFFFFFFFF},
                                         MemoryCase{4ull << 30, true, 0xFFFFFFFF},
                                         MemoryCase{64ull << 30, true, 0xFFFFFFFF}));

TEST_F(DllTest, FunctionNumberHighWordIsIgnoredForMemory) {
    qel::emulation().memory_bytes = 256ull << 20;
    EXPECT_EQ(dll().Call(0x00010007).value, 256 << 20);
}

}  // namespace
