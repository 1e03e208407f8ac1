// What only the fake platform can show of the dispatch export: the shared error buffer, the
// argument records read, the module handle strings are loaded under. The function numbers,
// records, callbacks and texts are proven on the real DLL (tests/host).
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

}  // namespace
