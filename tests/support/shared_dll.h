// The real KZPROBEX.dll, loaded once per test program, and a fresh emulation for each test.
#pragma once
#include <gtest/gtest.h>

#include "host/extender/extender.h"
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

// A host callback that records its last call, for tests that call the export by hand.
struct RawCallback {
    static inline int calls = 0;
    static inline int32_t status = 99;
    static inline uint32_t context = 0;
    static inline void* info = nullptr;
    static inline void* record = nullptr;
    static constexpr int32_t kAnswer = 0x5EED;
    static __attribute__((stdcall)) int32_t Callback(int32_t s, uint32_t c, void* i, void* r) {
        ++calls;
        status = s;
        context = c;
        info = i;
        record = r;
        return kAnswer;
    }
    static uint32_t Address() {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&Callback));
    }
};

// A pointer as the 32-bit word the export takes.
inline uint32_t Word(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace host_test
