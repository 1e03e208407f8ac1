// The dispatch export: function numbers, the record and callback protocol, cversioninfo and
// cmemstat, all driven through QELExtender2 over the fake platform.
#include <gtest/gtest.h>

#include "extender/report.h"
#include "fake_host.h"
#include "resources/messages.h"

namespace {

using test_host::host;
using test_host::ScriptCall;

class DispatchTest : public testing::Test {
  protected:
    void SetUp() override { test_host::ResetAll(); }
};

// -------------------------------------------------------------------------------------------
// cversioninfo: the numeric check, the box, the two errors.

struct VersionCase {
    const char* name;
    std::optional<std::string> argument;
    int32_t status;
    int32_t value;     // when status is 0
    const char* text;  // when status is -1
    bool shows_box;
};

const VersionCase kVersionCases[] = {
    {"zero", "0", 0, 44001, nullptr, false},
    {"one", "1", 0, 10, nullptr, true},
    {"two", "2", 0, 0, nullptr, true},
    {"blank_plus_one", " +1", 0, 10, nullptr, true},
    {"lone_blank", " ", 0, 44001, nullptr, false},
    {"lone_minus", "-", 0, 44001, nullptr, false},
    {"lone_plus", "+", 0, 44001, nullptr, false},
    {"minus_zero", "-0", 0, 44001, nullptr, false},
    {"three", "3", -1, 0, KZ_TEXT_INVALID_VERSION, false},
    {"minus_one", "-1", -1, 0, KZ_TEXT_INVALID_VERSION, false},
    {"wraps_to_one", "4294967297", 0, 10, nullptr, true},
    {"empty", "", -1, 0, KZ_TEXT_INVALID_PARAMETER, false},
    {"trailing_blank", "1 ", -1, 0, KZ_TEXT_INVALID_PARAMETER, false},
    {"decimal_point", "1.0", -1, 0, KZ_TEXT_INVALID_PARAMETER, false},
    {"letters", "abc", -1, 0, KZ_TEXT_INVALID_PARAMETER, false},
    {"absent", std::nullopt, -1, 0, KZ_TEXT_INVALID_PARAMETER, false},
};

class VersionInfoTest : public DispatchTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(VersionInfoTest, ReportsValueOrError) {
    const VersionCase& c = GetParam();
    ScriptCall call;
    call.SetArgument(0, c.argument);
    EXPECT_EQ(call.Run(1), host().callback_answer);
    ASSERT_EQ(host().callbacks.size(), 1u);
    EXPECT_EQ(host().callbacks[0].status, c.status);
    if (c.status == 0) {
        EXPECT_EQ(call.Value(), c.value);
        EXPECT_EQ(call.ResultType(), 1);
    } else {
        EXPECT_STREQ(call.Text(), c.text);
        EXPECT_EQ(call.ResultType(), 2);
    }
    auto& boxes = fake::services().message_boxes;
    ASSERT_EQ(boxes.size(), c.shows_box ? 1u : 0u);
    if (c.shows_box) {
        EXPECT_EQ(boxes[0].text, *c.argument);  // exactly as passed, blanks and sign kept
        EXPECT_EQ(boxes[0].caption, "Extender Version");
        EXPECT_EQ(boxes[0].style, 0x41u);
        EXPECT_EQ(boxes[0].owner, reinterpret_cast<void*>(test_host::kWindow));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, VersionInfoTest, testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DispatchTest, CancelInTheVersionBoxChangesNothing) {
    fake::services().message_box_answer = 2;
    ScriptCall call;
    call.SetArgument(0, "1");
    call.Run(1);
    EXPECT_EQ(host().callbacks.at(0).status, 0);
    EXPECT_EQ(call.Value(), 10);
}

// -------------------------------------------------------------------------------------------
// Function numbers: the low 16 bits, signed.

struct NumberCase {
    const char* name;
    uint32_t function_number;
    bool unknown;  // error 901 with an empty text
};

const NumberCase kNumberCases[] = {
    {"zero", 0, true},
    {"eleven", 11, true},
    {"minus_four", 0xFFFFFFFC, true},
    {"largest_16_bit", 0x7FFF, true},
    {"smallest_16_bit", 0x8000, true},
    {"one_in_high_word_only", 0x00010000, true},
    {"seven_with_high_word", 0x00010007, false},
    {"one_with_all_high_bits", 0xFFFF0001, false},
};

class FunctionNumberTest : public DispatchTest, public testing::WithParamInterface<NumberCase> {};

TEST_P(FunctionNumberTest, UnknownNumbersReport901) {
    const NumberCase& c = GetParam();
    fake::services().memory.total_phys = 0x12345678;
    ScriptCall call;
    call.SetArgument(0, "0");
    call.Run(c.function_number);
    ASSERT_EQ(host().callbacks.size(), 1u);
    if (c.unknown) {
        EXPECT_EQ(host().callbacks[0].status, -1);
        EXPECT_EQ(call.ResultType(), 2);
        EXPECT_STREQ(call.Text(), "");
        EXPECT_EQ(fake::services().loaded_ids.back(), 901u);
    } else {
        EXPECT_EQ(host().callbacks[0].status, 0);
        EXPECT_NE(call.Value(), static_cast<int32_t>(0xCCCCCCCC));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FunctionNumberTest, testing::ValuesIn(kNumberCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DispatchTest, HighWordSelectsNothingButTheLowWordDoes) {
    fake::services().memory.total_phys = 0x12345678;
    ScriptCall call;
    call.Run(0x00010007);
    EXPECT_EQ(call.Value(), 0x12345678);  // cmemstat
}

TEST_F(DispatchTest, RequestMinusThreeAnswersOneAndTouchesNothing) {
    ScriptCall call;
    EXPECT_EQ(call.Run(0xFFFFFFFD), 1);
    EXPECT_EQ(call.Run(0x0005FFFD), 1);
    EXPECT_TRUE(host().callbacks.empty());
    for (uint8_t byte : call.result)
        EXPECT_EQ(byte, test_host::kFill);
}

// -------------------------------------------------------------------------------------------
// The protocol every function keeps: one callback, exact arguments, exact record writes.

class EveryFunctionTest : public DispatchTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(EveryFunctionTest, EndsInExactlyOneCallbackWithTheHostsValues) {
    uint32_t number = GetParam();
    // Clocks that move, so that a measurement ends.
    fake::services().counter = [count = uint64_t{0}]() mutable { return count += 97; };
    fake::services().multimedia_time = [ms = uint32_t{0}]() mutable { return ms += 3; };
    fake::processor().time_stamp = [stamp = uint64_t{0}]() mutable { return stamp += 5000; };
    ScriptCall call;
    // Arguments every function accepts: a cheap benchmark with no runs, mode 1, version 0.
    for (int i = 0; i < 5; ++i)
        call.SetArgument(i, "0");
    call.SetArgument(1, "1");
    host().callback_answer = -123456;
    EXPECT_EQ(call.Run(number), -123456);
    ASSERT_EQ(host().callbacks.size(), 1u);
    const auto& back = host().callbacks[0];
    EXPECT_EQ(back.host_context, test_host::kContext);
    EXPECT_EQ(back.host_info, call.host_info);
    EXPECT_EQ(back.result_record, call.result);
    // Only offsets 24 to 35 may change.
    for (size_t i = 0; i < sizeof call.result; ++i) {
        if (i >= 24 && i < 36)
            continue;
        EXPECT_EQ(call.result[i], test_host::kFill) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Numbers, EveryFunctionTest, testing::Range(1u, 12u));

TEST_F(DispatchTest, ValueLeavesTheTextFieldAndErrorLeavesTheValueField) {
    ScriptCall value_call;
    value_call.SetArgument(0, "0");
    value_call.Run(1);
    EXPECT_EQ(value_call.ResultType(), 1);
    EXPECT_EQ(LoadWord(value_call.result, kResultTextOffset), 0xCCCCCCCCu);

    ScriptCall error_call;
    error_call.SetArgument(0, "x");
    error_call.Run(1);
    EXPECT_EQ(error_call.ResultType(), 2);
    EXPECT_EQ(LoadWord(error_call.result, kResultValueOffset), 0xCCCCCCCCu);
    EXPECT_EQ(error_call.Text(), MessageBuffer);
}

TEST_F(DispatchTest, ErrorTextStaysValidUntilTheNextError) {
    ScriptCall first;
    first.SetArgument(0, "9");
    first.Run(1);
    ScriptCall value;
    value.SetArgument(0, "0");
    value.Run(1);
    EXPECT_STREQ(first.Text(), KZ_TEXT_INVALID_VERSION);
    ScriptCall second;
    second.Run(0);
    EXPECT_STREQ(first.Text(), "");  // one buffer, shared by every error
}

TEST_F(DispatchTest, ReadsOnlyTheTextPointersOfTheArgumentRecords) {
    ScriptCall call;
    call.SetArgument(0, "0");
    // The other 36 bytes of record 0 and the four other records hold garbage already (the
    // fill); only record 0's text counts for cversioninfo.
    call.SetArgument(1, "not a number");
    call.Run(1);
    EXPECT_EQ(call.Value(), 44001);
}

TEST_F(DispatchTest, StringsAreLoadedUnderTheModuleHandle) {
    ScriptCall call;
    call.Run(0);
    EXPECT_EQ(fake::services().last_load_module, reinterpret_cast<void*>(0x10000000));
}

// -------------------------------------------------------------------------------------------
// Hosts that pass null where a pointer belongs.

TEST_F(DispatchTest, NullArgumentBlockMeansFiveAbsentArguments) {
    ScriptCall call;
    QELExtender2(nullptr, 0, 1, 1, test_host::RecordingCallback, nullptr, 0, nullptr, 0,
                 call.result);
    EXPECT_EQ(host().callbacks.at(0).status, -1);
    EXPECT_STREQ(call.Text(), KZ_TEXT_INVALID_PARAMETER);
}

struct NullCase {
    const char* name;
    bool null_record;
    bool null_callback;
    const char* argument;
    int32_t status;
};

const NullCase kNullCases[] = {
    {"record_after_value", true, false, "0", 0},   {"record_after_error", true, false, "9", -1},
    {"callback_after_value", false, true, "0", 0}, {"callback_after_error", false, true, "9", -1},
    {"both_after_value", true, true, "0", 0},      {"both_after_error", true, true, "9", -1},
};

class NullHostPointerTest : public DispatchTest, public testing::WithParamInterface<NullCase> {};

TEST_P(NullHostPointerTest, WritesNothingAndCallsNoNullCallback) {
    const NullCase& c = GetParam();
    ScriptCall call;
    call.SetArgument(0, c.argument);
    host().callback_answer = 777;
    int32_t returned =
        QELExtender2(nullptr, 0, 1, 1, c.null_callback ? nullptr : test_host::RecordingCallback,
                     nullptr, 0, call.records, 0, c.null_record ? nullptr : call.result);
    if (c.null_callback) {
        EXPECT_EQ(returned, c.status);
        EXPECT_TRUE(host().callbacks.empty());
    } else {
        EXPECT_EQ(returned, 777);
        ASSERT_EQ(host().callbacks.size(), 1u);
        EXPECT_EQ(host().callbacks[0].status, c.status);
        EXPECT_EQ(host().callbacks[0].result_record, nullptr);
    }
    if (c.null_record) {
        for (uint8_t byte : call.result)
            EXPECT_EQ(byte, test_host::kFill);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, NullHostPointerTest, testing::ValuesIn(kNullCases),
                         [](const auto& info) { return std::string(info.param.name); });

// -------------------------------------------------------------------------------------------
// cmemstat hands GlobalMemoryStatus's total physical memory on unchanged.

class MemoryTest : public DispatchTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(MemoryTest, ReportsTotalPhysicalMemory) {
    fake::services().memory.total_phys = GetParam();
    fake::services().memory.avail_phys = 1;
    ScriptCall call;
    call.Run(7);
    EXPECT_EQ(static_cast<uint32_t>(call.Value()), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryTest,
                         testing::Values(0u, 16u * 1024 * 1024, 0x7FFFFFFFu, 0xFFFFFFFFu));

}  // namespace
