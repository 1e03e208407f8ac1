// What only the fake platform can show of the exports: the library's own table, the module
// handle the entry point keeps and strings are loaded under, the shared error buffer, the
// argument records read. Every answer a host sees is proven on the real DLL (tests/host).
#include <gtest/gtest.h>

#include "extender/function_table.h"
#include "extender/module.h"
#include "resources/messages.h"
#include "tests/support/fake_host.h"

namespace {

using test_host::ScriptCall;

class ExtenderTest : public testing::Test {
  protected:
    void SetUp() override { test_host::ResetAll(); }
};

TEST_F(ExtenderTest, TheLibrarysTableKeepsZeroNameLengths) {
    uint8_t record[56];
    Enumerate(0, record);
    EXPECT_EQ(FunctionTable[0].name_length, 0);
    EXPECT_EQ(FunctionTable[10].identifier, -1);
}

TEST_F(ExtenderTest, EntryPointRecordsTheHandleForEveryReason) {
    for (uint32_t reason : {0u, 1u, 2u, 3u}) {
        void* handle = reinterpret_cast<void*>(0x20000000 + reason * 0x10000);
        EXPECT_EQ(DllMain(handle, reason, nullptr), 1);
        EXPECT_EQ(ModuleHandle, handle);
    }
}

TEST_F(ExtenderTest, StringsAreLoadedUnderTheModuleHandle) {
    ScriptCall call;
    call.Run(0);
    EXPECT_EQ(fake::services().last_load_module, reinterpret_cast<void*>(0x10000000));
}

TEST_F(ExtenderTest, ErrorTextStaysValidUntilTheNextError) {
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

TEST_F(ExtenderTest, ReadsOnlyTheTextPointersOfTheArgumentRecords) {
    ScriptCall call;
    call.SetArgument(0, "0");
    // The other 36 bytes of record 0 and the four other records hold garbage already (the
    // fill); only record 0's text counts for cversioninfo.
    call.SetArgument(1, "not a number");
    call.Run(1);
    EXPECT_EQ(call.Value(), 44001);
}

}  // namespace
