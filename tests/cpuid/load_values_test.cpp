// The vendor state as the library is loaded, and its life on a processor without CPUID.
// Library state lives for the whole process, so this program runs its cases in order, in
// a process of its own: nothing may identify before the first case.
#include <gtest/gtest.h>

#include <string>

#include "cpuid/identify.h"
#include "tests/support/cpuid_test_support.h"

namespace {

using namespace cpuid_test;

const VendorState kLoadValues{"------------", 0, 0, 0, 0, 0};

class LoadValuesTest : public testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(LoadValuesTest, A_BeforeAnyIdentification) {
    EXPECT_EQ(CurrentVendorState(), kLoadValues);
    // The probe for CPUID itself identifies nothing.
    EXPECT_EQ(CpuidSupported(), 1);
    EXPECT_EQ(CallScriptFunction(ccpusupt), 1u);
    EXPECT_EQ(CurrentVendorState(), kLoadValues);
}

// Without CPUID only the clone flag is ever written; the vendor code stays 0.
TEST_F(LoadValuesTest, B_WithoutCpuidOnlyTheCloneFlagChanges) {
    ASSERT_EQ(CurrentVendorState(), kLoadValues) << "an earlier case identified";
    for (bool keeps : {true, false, true}) {
        SCOPED_TRACE(keeps);
        UseProcessorWithoutCpuid(fake::LegacyClass::k80386, keeps);
        VendorState expected = kLoadValues;
        expected.clone_flag = keeps;
        EXPECT_EQ(CallScriptFunction(cvendorid), 0u);
        EXPECT_EQ(CurrentVendorState(), expected);
        EXPECT_EQ(CallScriptFunction(cclonecheck), keeps ? 1u : 0u);
        EXPECT_EQ(CallScriptFunction(ccpuid), 3u);
        EXPECT_EQ(CallScriptFunction(ccpuidext), 768u);
        EXPECT_EQ(CallScriptFunction(ccpufeat), 0u);
        EXPECT_EQ(CallScriptFunction(ccpusupt), 0u);
        EXPECT_EQ(CurrentVendorState(), expected);
        EXPECT_EQ(fake::processor().cpuid_executed_without_cpuid, 0);
    }
}

TEST_F(LoadValuesTest, C_TheFirstIdentificationReplacesThem) {
    UseProcessorWithCpuid("GenuineIntel", 1, 0x673, 0);
    EXPECT_EQ(CallScriptFunction(cvendorid), 1u);
    EXPECT_EQ(CurrentVendorState(), IntelState());
}

}  // namespace
