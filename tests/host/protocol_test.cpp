// The real DLL driven through its exports as the QEL host drives it.
#include <gtest/gtest.h>
#include <string.h>

#include "host/loader/extender_dll.h"
#include "host/win32/emulation.h"

namespace {

class ProtocolTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        dll_ = qel::ExtenderDll::Load(KZPROBEX_DLL_PATH, &error).release();
        ASSERT_NE(dll_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete dll_;
        dll_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(dll_, nullptr);
        qel::emulation() = qel::Emulation{};
        qel::emulation().print_boxes = false;
    }
    static qel::ExtenderDll* dll_;
};

qel::ExtenderDll* ProtocolTest::dll_ = nullptr;

TEST_F(ProtocolTest, QueryCodeOneGivesDescriptionAndVersion) {
    int32_t version = 0;
    EXPECT_EQ(dll_->Description(&version), "QEL Cpu Speed Extender.");
    EXPECT_EQ(version, 44001);
}

TEST_F(ProtocolTest, CversioninfoZeroReportsVersion) {
    const qel::Outcome outcome = dll_->Call(1, {"0"});
    EXPECT_EQ(outcome.callbacks, 1);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.result_type, 1);
    EXPECT_EQ(outcome.value, 44001);
    EXPECT_TRUE(outcome.arguments_handed_back);
}

}  // namespace
