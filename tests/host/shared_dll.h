// The real KZPROBEX.dll, loaded once per test program, and a fresh emulation for each test.
#pragma once
#include <gtest/gtest.h>

#include "host/loader/extender_dll.h"
#include "host/win32/emulation.h"

namespace host_test {

qel::ExtenderDll& SharedDll();

// Quiet boxes and real clocks; each test starts from here.
class DllTest : public testing::Test {
  protected:
    void SetUp() override {
        qel::emulation() = qel::Emulation{};
        qel::emulation().print_boxes = false;
        dll().set_callback_answer(0);
    }
    qel::ExtenderDll& dll() { return SharedDll(); }
};

}  // namespace host_test
