// The emulated Win32 calls, against the behaviour Windows documents for them.
#include <string.h>

#include "host/crossing/guarded_call.h"
#include "host/win32/win32_api.h"
#include "tests/support/shared_dll.h"

namespace {

using host_test::DllTest;
namespace win32 = qel::win32;

// --- LoadStringA over the real DLL's string table ---------------------------------------------

struct LoadStringCase {
    const char* label;
    uint32_t id;
    int32_t size;
    const char* expected_text;  // nullptr: buffer untouched
    int32_t expected_count;
    friend void PrintTo(const LoadStringCase& c, std::ostream* out) { *out << c.label; }
};

class LoadString : public DllTest, public testing::WithParamInterface<LoadStringCase> {};

TEST_P(LoadString, CutsTerminatesAndCounts) {
    const LoadStringCase& c = GetParam();
    char buffer[300];
    memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = 0;
    EXPECT_EQ(win32::LoadStringA(dll().module_handle(), c.id, buffer, c.size), c.expected_count);
    if (c.expected_text == nullptr) {
        EXPECT_EQ(buffer[0], '#');
    } else {
        EXPECT_STREQ(buffer, c.expected_text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ids, LoadString,
    testing::Values(
        LoadStringCase{"invalid_parameter", 17101, 256, "17101: Invalid Parameter.", 25},
        LoadStringCase{"last_slot_of_block", 17103, 256,
                       "17103: cCpuBenchMark SLoop (or default SLoop) number too small.", 63},
        LoadStringCase{"cut_to_size_minus_one", 17101, 6, "17101", 5},
        LoadStringCase{"exact_fit", 17101, 26, "17101: Invalid Parameter.", 25},
        LoadStringCase{"one_short", 17101, 25, "17101: Invalid Parameter", 24},
        LoadStringCase{"size_one_gives_empty", 17101, 1, "", 0},
        LoadStringCase{"size_zero", 17101, 0, nullptr, -1},
        LoadStringCase{"negative_size", 17101, -4, nullptr, 0},
        LoadStringCase{"high_word_ignored", 0xABCD0000u | 17101, 256, "17101: Invalid Parameter.",
                       25},
        LoadStringCase{"missing_901", 901, 256, "", 0},
        LoadStringCase{"missing_slot_in_present_block", 17099, 256, "", 0},
        LoadStringCase{"missing_beside_description", 1001, 256, "", 0},
        LoadStringCase{"missing_zero", 0, 256, "", 0},
        LoadStringCase{"missing_highest", 0xFFFF, 256, "", 0}),
    [](const testing::TestParamInfo<LoadStringCase>& info) {
        return std::string(info.param.label);
    });

TEST(LoadStringModules, UnknownModuleGivesEmptyText) {
    char buffer[16] = "untouched";
    int local = 0;
    EXPECT_EQ(win32::LoadStringA(&local, 17101, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

// --- text calls ---------------------------------------------------------------------------

struct CopyLimitedCase {
    const char* source;
    int32_t size;
    const char* expected;  // the first bytes of the destination (pre-filled with '#')
    friend void PrintTo(const CopyLimitedCase& c, std::ostream* out) {
        *out << "\"" << c.source << "\" size " << c.size;
    }
};

class CopyLimited : public testing::TestWithParam<CopyLimitedCase> {};

TEST_P(CopyLimited, CopiesWhileSizeAboveOneThenTerminates) {
    char destination[16];
    memset(destination, '#', sizeof destination);
    destination[15] = 0;
    EXPECT_EQ(win32::lstrcpynA(destination, GetParam().source, GetParam().size), destination);
    EXPECT_STREQ(destination, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CopyLimited,
    testing::Values(CopyLimitedCase{"hello", 0, "###############"}, CopyLimitedCase{"hello", 1, ""},
                    CopyLimitedCase{"hello", 2, "h"}, CopyLimitedCase{"hello", 5, "hell"},
                    CopyLimitedCase{"hello", 6, "hello"}, CopyLimitedCase{"hello", 15, "hello"},
                    CopyLimitedCase{"", 8, ""}, CopyLimitedCase{"hello", -1, ""}));

TEST(TextCalls, CopyAndLength) {
    char destination[16] = "##########";
    EXPECT_EQ(win32::lstrcpyA(destination, "abc"), destination);
    EXPECT_STREQ(destination, "abc");
    EXPECT_EQ(win32::lstrcpyA(nullptr, "abc"), nullptr);
    EXPECT_EQ(win32::lstrcpyA(destination, nullptr), nullptr);
    EXPECT_EQ(win32::lstrlenA("abc"), 3);
    EXPECT_EQ(win32::lstrlenA(""), 0);
    EXPECT_EQ(win32::lstrlenA(nullptr), 0);
}

// A pointer the DLL passes may point nowhere: inside a guarded call the three text calls
// answer as Windows does after an access violation, and the guard sees no fault.
TEST(TextCalls, BadPointersAnswerNullOrZero) {
    char* const nowhere = reinterpret_cast<char*>(uintptr_t{16});
    char destination[16] = "##########";
    const char* copied = destination;
    const char* copied_limited = destination;
    int32_t length = -1;
    qel::BoundedText failure;
    EXPECT_TRUE(qel::RunGuarded(
        [&] {
            copied = win32::lstrcpyA(destination, nowhere);
            copied_limited = win32::lstrcpynA(nowhere, "abc", 4);
            length = win32::lstrlenA(nowhere);
        },
        0, &failure))
        << failure.c_str();
    EXPECT_EQ(copied, nullptr);
    EXPECT_EQ(copied_limited, nullptr);
    EXPECT_EQ(length, 0);
}

struct LowerCase {
    uint8_t character;
    uint8_t lowered;
    friend void PrintTo(const LowerCase& c, std::ostream* out) {
        *out << "character " << int{c.character};
    }
};

class LowerCharacter : public testing::TestWithParam<LowerCase> {};

TEST_P(LowerCharacter, CharacterFormWhenHighWordIsZero) {
    const uintptr_t argument = 0x1200u | GetParam().character;  // only the low byte counts
    const char* answer = win32::CharLowerA(reinterpret_cast<char*>(argument & 0xFFFF));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(answer), GetParam().lowered);
}

INSTANTIATE_TEST_SUITE_P(Windows1252, LowerCharacter,
                         testing::Values(LowerCase{'A', 'a'}, LowerCase{'Z', 'z'},
                                         LowerCase{'a', 'a'}, LowerCase{'@', '@'},
                                         LowerCase{'[', '['}, LowerCase{'1', '1'},
                                         LowerCase{0xC0, 0xE0}, LowerCase{0xDE, 0xFE},
                                         LowerCase{0xD7, 0xD7}, LowerCase{0xDF, 0xDF},
                                         LowerCase{0x8A, 0x9A}, LowerCase{0x9F, 0xFF},
                                         LowerCase{0xE0, 0xE0}, LowerCase{0, 0}));

TEST(TextCalls, CharLowerStringFormConvertsInPlace) {
    char text[] = "CVersionInfo \xC9T\xC9 42";
    EXPECT_EQ(win32::CharLowerA(text), text);
    EXPECT_STREQ(text, "cversioninfo \xE9t\xE9 42");
}

// --- message boxes ----------------------------------------------------------------------

struct BoxCase {
    uint32_t style;
    int answer_setting;
    int32_t expected;
    friend void PrintTo(const BoxCase& c, std::ostream* out) {
        *out << "style " << c.style << " answer " << c.answer_setting;
    }
};

class MessageBox : public DllTest, public testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBox, AnswersWithTheSettingWhenTheBoxHasThatButton) {
    qel::emulation().box_answer = GetParam().answer_setting;
    EXPECT_EQ(win32::MessageBoxA(nullptr, "text", "caption", GetParam().style),
              GetParam().expected);
    EXPECT_EQ(qel::emulation().box_style_last, GetParam().style);
    ASSERT_EQ(qel::emulation().boxes_shown.size(), 1u);
    EXPECT_EQ(qel::emulation().boxes_shown[0].caption, "caption");
    EXPECT_EQ(qel::emulation().boxes_shown[0].text, "text");
}

INSTANTIATE_TEST_SUITE_P(Styles, MessageBox,
                         testing::Values(BoxCase{0x41, 1, 1}, BoxCase{0x41, 2, 2},
                                         BoxCase{0x40, 2, 1}, BoxCase{0x00, 1, 1},
                                         BoxCase{0x03, 2, 2}, BoxCase{0x04, 2, 6},
                                         BoxCase{0x05, 2, 2}, BoxCase{0x05, 1, 4}));

TEST_F(DllTest, MessageBoxWithoutCaptionSaysError) {
    win32::MessageBoxA(nullptr, nullptr, nullptr, 0);
    ASSERT_EQ(qel::emulation().boxes_shown.size(), 1u);
    EXPECT_EQ(qel::emulation().boxes_shown[0].caption, "Error");
    EXPECT_EQ(qel::emulation().boxes_shown[0].text, "");
}

// --- memory status --------------------------------------------------------------------------

struct MemoryCase {
    uint64_t emulated;
    bool large_address_aware;
    uint32_t total_phys;
    uint32_t total_virtual;
    friend void PrintTo(const MemoryCase& c, std::ostream* out) {
        *out << c.emulated << (c.large_address_aware ? " bytes, large-address-aware" : " bytes");
    }
};

class GlobalMemory : public DllTest, public testing::WithParamInterface<MemoryCase> {};

TEST_P(GlobalMemory, CapsForA32BitProcess) {
    qel::emulation().memory_bytes = GetParam().emulated;
    qel::emulation().large_address_aware = GetParam().large_address_aware;
    win32::MemoryStatus status;
    memset(&status, 0xEE, sizeof status);
    win32::GlobalMemoryStatus(&status);
    EXPECT_EQ(status.length, 32u);
    EXPECT_EQ(status.total_phys, GetParam().total_phys);
    EXPECT_LE(status.avail_phys, status.total_phys);
    EXPECT_LE(status.memory_load, 100u);
    EXPECT_EQ(status.total_virtual, GetParam().total_virtual);
    EXPECT_LE(status.avail_virtual, status.total_virtual);
    EXPECT_GE(status.total_page_file, status.total_phys);
}

// The DLL's record may lie at any address.
TEST_F(DllTest, GlobalMemoryStatusFillsAMisalignedRecord) {
    qel::emulation().memory_bytes = 1ull << 30;
    uint8_t bytes[sizeof(win32::MemoryStatus) + 1] = {};
    win32::GlobalMemoryStatus(reinterpret_cast<win32::MemoryStatus*>(bytes + 1));
    win32::MemoryStatus status;
    memcpy(&status, bytes + 1, sizeof status);
    EXPECT_EQ(status.length, 32u);
    EXPECT_EQ(status.total_phys, 1u << 30);
}

// The capped physical sizes are read through the DLL's cmemstat (function_calls_test.cpp).
INSTANTIATE_TEST_SUITE_P(Sizes, GlobalMemory,
                         testing::Values(MemoryCase{16ull << 30, false, 0x7FFFFFFF, 0x7FFE0000},
                                         MemoryCase{16ull << 30, true, 0xFFFFFFFF, 0xFFFE0000},
                                         MemoryCase{0, false, 0, 0x7FFE0000}));

// --- clocks ---------------------------------------------------------------------------------

TEST_F(DllTest, PerformanceCounterRunsAtTenMegahertzAndNeverGoesBack) {
    int64_t frequency = 0;
    EXPECT_EQ(win32::QueryPerformanceFrequency(&frequency), 1);
    EXPECT_EQ(frequency, 10'000'000);
    int64_t previous = 0;
    for (int i = 0; i < 1000; ++i) {
        int64_t now = 0;
        ASSERT_EQ(win32::QueryPerformanceCounter(&now), 1);
        ASSERT_GE(now, previous);
        previous = now;
    }
    EXPECT_EQ(win32::QueryPerformanceCounter(nullptr), 0);
}

TEST_F(DllTest, TickCountAndMultimediaTimeShareTheMillisecondClock) {
    const uint32_t tick = win32::GetTickCount();
    const uint32_t multimedia = win32::timeGetTime();
    EXPECT_LT(multimedia - tick, 1000u);  // unsigned: also right across a wrap
}

// With Windows' granularity set, each clock moves only by whole steps: read over 100 ms, no
// change is smaller than one step (15.625 ms shows as 15 or 16).
struct TimerStepCase {
    uint32_t tick_step_microseconds;
    uint32_t multimedia_step_microseconds;
    friend void PrintTo(const TimerStepCase& c, std::ostream* out) {
        *out << c.tick_step_microseconds << " and " << c.multimedia_step_microseconds << " us";
    }
};

class TimerSteps : public DllTest, public testing::WithParamInterface<TimerStepCase> {};

TEST_P(TimerSteps, ClocksMoveOnlyByWholeSteps) {
    qel::emulation().tick_step_microseconds = GetParam().tick_step_microseconds;
    qel::emulation().multimedia_step_microseconds = GetParam().multimedia_step_microseconds;
    struct Watched {
        decltype(&win32::GetTickCount) read;  // a standard-call function
        uint32_t step_microseconds;
        uint32_t last;
        uint32_t smallest_change = UINT32_MAX;
    } clocks[] = {{&win32::GetTickCount, GetParam().tick_step_microseconds, 0},
                  {&win32::timeGetTime, GetParam().multimedia_step_microseconds, 0}};
    for (Watched& clock : clocks)
        clock.last = clock.read();
    const uint32_t start = clocks[0].last;
    while (win32::GetTickCount() - start < 100) {
        for (Watched& clock : clocks) {
            const uint32_t now = clock.read();
            if (now != clock.last)
                clock.smallest_change = std::min(clock.smallest_change, now - clock.last);
            clock.last = now;
        }
    }
    for (const Watched& clock : clocks) {
        const uint32_t whole_step_ms = std::max(clock.step_microseconds / 1000, 1u);
        EXPECT_GE(clock.smallest_change, whole_step_ms) << clock.step_microseconds << " us";
        EXPECT_NE(clock.smallest_change, UINT32_MAX) << "the clock never moved";
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, TimerSteps,
                         testing::Values(TimerStepCase{15625, 1000}, TimerStepCase{10000, 15625},
                                         TimerStepCase{0, 0}));

// --- which imports exist ------------------------------------------------------------------

struct ImportCase {
    const char* dll;
    const char* function;
    bool provided;
    friend void PrintTo(const ImportCase& c, std::ostream* out) {
        *out << c.dll << "!" << c.function;
    }
};

class HostFunctions : public testing::TestWithParam<ImportCase> {};

TEST_P(HostFunctions, OnlyTheDocumentedImportsExist) {
    EXPECT_EQ(win32::FindHostFunction(GetParam().dll, GetParam().function).address != nullptr,
              GetParam().provided);
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostFunctions,
    testing::Values(
        // every import the DLL needs is proven by loading it; these are the edges
        ImportCase{"kernel32.DLL", "GlobalMemoryStatus", true},
        ImportCase{"user32.dll", "CharLowerA", true}, ImportCase{"WINMM.dll", "timeGetTime", true},
        ImportCase{"KERNEL32.dll", "gettickcount", false},
        ImportCase{"KERNEL32.dll", "lstrlenW", false},
        ImportCase{"USER32.dll", "MessageBoxW", false},
        ImportCase{"KERNEL32.dll", "timeGetTime", false},
        ImportCase{"KERNEL32.dll", "GlobalMemoryStatusEx", false},
        ImportCase{"KERNEL32.dll", "LoadLibraryA", false},
        ImportCase{"ADVAPI32.dll", "RegOpenKeyA", false}, ImportCase{"KERNEL32.dll", "", false}));

}  // namespace
