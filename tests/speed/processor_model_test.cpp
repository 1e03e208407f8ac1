// Under a qemu model the registration states what the model must look like, so that the
// suites that skip on other processors cannot all skip by mistake.
#include <stdlib.h>

#include "tests/support/e2e_support.h"

namespace {

TEST(ProcessorModel, IsTheOneRegistered) {
    const char* vendor = getenv("KZ_EXPECT_VENDOR");
    const char* time_stamp = getenv("KZ_EXPECT_TSC");
    if (vendor == nullptr || time_stamp == nullptr)
        GTEST_SKIP() << "the real processor";
    const speed_e2e::ProcessorFacts facts = speed_e2e::ThisProcessor();
    EXPECT_EQ(facts.vendor, vendor);
    EXPECT_EQ(facts.time_stamp, strcmp(time_stamp, "1") == 0);
}

}  // namespace
