// The six identification functions of the real KZPROBEX.dll, called as the QEL host calls
// them, on this machine's processor or on one of qemu's models. What CPUID says is read by
// this test in the same process; what each model must be is fixed in a table.
#include <cpuid.h>
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "abi/script_functions.h"
#include "tests/support/shared_dll.h"

namespace {

constexpr int32_t kCallbackAnswer = 4711;

struct Leaves {
    uint32_t highest_leaf;
    std::string vendor;
    bool has_leaf_one;
    uint32_t leaf1_eax;
    uint32_t leaf1_edx;
};

Leaves ReadLeavesHere() {
    uint32_t eax, ebx, ecx, edx;
    __cpuid(0, eax, ebx, ecx, edx);
    Leaves leaves{eax, std::string(12, ' '), static_cast<int32_t>(eax) >= 1, 0, 0};
    memcpy(&leaves.vendor[0], &ebx, 4);
    memcpy(&leaves.vendor[4], &edx, 4);
    memcpy(&leaves.vendor[8], &ecx, 4);
    if (leaves.has_leaf_one) {
        __cpuid(1, eax, ebx, ecx, edx);
        leaves.leaf1_eax = eax;
        leaves.leaf1_edx = edx;
    }
    return leaves;
}

// What each qemu model reports (platform notes, "qemu-i386 processor models") and so what
// the library must make of it.
struct Model {
    const char* cpu;
    const char* vendor;
    uint32_t highest_leaf;
    uint32_t signature;  // leaf 1 EAX; unused without leaf 1
    int32_t ccpuid;
    int32_t ccpuidext;
    int32_t cvendorid;
    int32_t cclonecheck;
};

const Model kModels[] = {
    {"pentium2", "GenuineIntel", 2, 0x652, 6, 0x0652, 1, 0},
    {"pentium3", "GenuineIntel", 3, 0x673, 6, 0x0673, 1, 0},
    {"qemu32", "GenuineIntel", 4, 0x663, 6, 0x0663, 1, 0},
    {"n270", "GenuineIntel", 10, 0x106c2, 6, 0x06c2, 1, 0},
    {"kvm32", "GenuineIntel", 5, 0xf61, 15, 0x0f61, 1, 0},
    {"athlon", "AuthenticAMD", 2, 0x623, 6, 0x0623, 3, 1},
    {"Opteron_G1", "AuthenticAMD", 5, 0xf61, 15, 0x0f61, 3, 1},
    {"Dhyana", "HygonGenuine", 13, 0x900f01, 15, 0x0f01, 0, 0},
    {"qemu32,family=20", "GenuineIntel", 4, 0x500f63, 15, 0x0f63, 1, 0},
    {"qemu32,vendor=GenuineIotel", "GenuineIotel", 4, 0x663, 6, 0x0663, 0, 0},
    {"qemu32,vendor=AuthenticAMD,level=0", "AuthenticAMD", 0, 0, 65535, 0, 3, 1},
    {"qemu32,vendor=CyrixInstead,level=0", "CyrixInstead", 0, 0, 65535, 0, 2, 1},
    {"qemu32,vendor=HygonGenuine,level=0", "HygonGenuine", 0, 0, 65535, 0, 0, 0},
};

// The model this run emulates, named by the test runner; none when run on the real processor.
const Model* ModelOfThisRun() {
    const char* cpu = getenv("KZ_QEMU_CPU");
    if (cpu == nullptr)
        return nullptr;
    for (const Model& m : kModels) {
        if (std::string(m.cpu) == cpu)
            return &m;
    }
    ADD_FAILURE() << "no expectations for qemu model " << cpu;
    return nullptr;
}

class DllIdentificationTest : public host_test::DllTest {
  protected:
    void SetUp() override {
        DllTest::SetUp();
        dll().set_callback_answer(kCallbackAnswer);
    }

    // One call of a function that takes no argument; the value it reported.
    int32_t Value(uint32_t function_number) {
        const qel::Outcome outcome = dll().Call(function_number);
        EXPECT_EQ(outcome.callbacks, 1) << "function " << function_number;
        EXPECT_EQ(outcome.status, 0) << "function " << function_number;
        EXPECT_EQ(outcome.result_type, 1) << "function " << function_number;
        EXPECT_EQ(outcome.returned, kCallbackAnswer) << "function " << function_number;
        EXPECT_TRUE(outcome.arguments_handed_back) << "function " << function_number;
        return outcome.value;
    }
};

namespace fn = qel_abi::function_number;

int32_t VendorCodeOf(const std::string& vendor) {
    if (vendor == "GenuineIntel")
        return 1;
    if (vendor == "CyrixInstead")
        return 2;
    if (vendor == "AuthenticAMD")
        return 3;
    return 0;
}

TEST_F(DllIdentificationTest, ValuesMatchCpuidExecutedInThisProcess) {
    const Leaves here = ReadLeavesHere();
    const int32_t vendor_code = VendorCodeOf(here.vendor);
    printf("vendor \"%s\", highest leaf %u, leaf 1 EAX 0x%08x EDX 0x%08x\n", here.vendor.c_str(),
           here.highest_leaf, here.leaf1_eax, here.leaf1_edx);

    EXPECT_EQ(Value(fn::ccpusupt), 1);
    EXPECT_EQ(Value(fn::ccpuid), here.has_leaf_one ? int32_t((here.leaf1_eax >> 8) & 0xF) : 65535);
    EXPECT_EQ(Value(fn::ccpuidext), here.has_leaf_one ? int32_t(here.leaf1_eax & 0xFFFF) : 0);
    EXPECT_EQ(static_cast<uint32_t>(Value(fn::ccpufeat)), here.has_leaf_one ? here.leaf1_edx : 0);
    EXPECT_EQ(Value(fn::cvendorid), vendor_code);
    EXPECT_EQ(Value(fn::cclonecheck), vendor_code >= 2 ? 1 : 0);
}

TEST_F(DllIdentificationTest, ValuesMatchTheModel) {
    const Model* model = ModelOfThisRun();
    if (model == nullptr)
        GTEST_SKIP() << "on the real processor: no fixed expectations";

    // First that qemu still models the processor as the table says.
    const Leaves here = ReadLeavesHere();
    ASSERT_EQ(here.vendor, model->vendor);
    ASSERT_EQ(here.highest_leaf, model->highest_leaf);
    if (here.has_leaf_one) {
        ASSERT_EQ(here.leaf1_eax, model->signature);
    }

    EXPECT_EQ(Value(fn::ccpusupt), 1);
    EXPECT_EQ(Value(fn::ccpuid), model->ccpuid);
    EXPECT_EQ(Value(fn::ccpuidext), model->ccpuidext);
    EXPECT_EQ(Value(fn::cvendorid), model->cvendorid);
    EXPECT_EQ(Value(fn::cclonecheck), model->cclonecheck);
    if (model->highest_leaf == 0) {
        EXPECT_EQ(Value(fn::ccpufeat), 0);
    }
}

// Each call identifies afresh and publishes the same values; the order of calls and the
// arguments a host passes change nothing.
TEST_F(DllIdentificationTest, RepeatedCallsAgreeInAnyOrder) {
    const uint32_t functions[] = {fn::ccpuid,   fn::ccpufeat,    fn::ccpuidext,
                                  fn::ccpusupt, fn::cclonecheck, fn::cvendorid};
    int32_t first[6];
    for (int i = 0; i < 6; ++i)
        first[i] = Value(functions[i]);
    for (int round = 0; round < 3; ++round) {
        for (int i = 5; i >= 0; --i) {
            EXPECT_EQ(Value(functions[i]), first[i]) << "function " << functions[i];
            const qel::Outcome with_arguments = dll().Call(functions[i], {"1", std::nullopt, "x"});
            EXPECT_EQ(with_arguments.value, first[i]) << "function " << functions[i];
        }
    }
}

}  // namespace
