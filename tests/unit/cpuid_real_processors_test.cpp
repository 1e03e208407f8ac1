// Leaves 0 and 1 of real processors, register for register as published CPUID dumps list
// them, and what identification makes of each.
#include "cpuid/identify.h"
#include "cpuid/processor_type.h"
#include "cpuid_test_support.h"

namespace {

using namespace cpuid_test;

struct RealProcessor {
    const char* name;
    // leaf 0
    uint32_t highest_leaf, ebx, ecx, edx;
    // leaf 1
    uint32_t leaf1_eax, leaf1_edx;
    // expected
    const char* vendor;
    uint32_t vendor_code;
    uint32_t clone_flag;
    uint16_t family;
    uint16_t signature;
    uint16_t processor_type;
};

void PrintTo(const RealProcessor& p, std::ostream* os) {
    *os << p.name;
}

const RealProcessor kRealProcessors[] = {
    // Intel 486 with CPUID; google/EXEgesis exegesis/base/cpuid_x86_test.cc (ToCpuInfo_Intel486)
    {"Intel 486", 0x00000001, 0x756E6547, 0x6C65746E, 0x49656E69, 0x00000480, 0x00000003,
     "GenuineIntel", 1, 0, 4, 0x0480, 0x0004},
    // Pentium III (Katmai); google/EXEgesis exegesis/base/cpuid_x86_test.cc (ToCpuInfo_PentiumIII)
    {"Pentium III Katmai", 0x00000003, 0x756E6547, 0x6C65746E, 0x49656E69, 0x00000673, 0x0387F9FF,
     "GenuineIntel", 1, 0, 6, 0x0673, 0x0006},
    // Pentium 4 3.00 GHz; VirtualBox src/VBox/VMM/VMMR3/cpus/Intel_Pentium_4_3_00GHz.h
    {"Pentium 4 3.00GHz", 0x00000005, 0x756E6547, 0x6C65746E, 0x49656E69, 0x00000F43, 0xBFEBFBFF,
     "GenuineIntel", 1, 0, 15, 0x0F43, 0x000F},
    // Pentium G4600 (Kaby Lake); google/EXEgesis exegesis/base/cpuid_x86_test.cc (kDumpString)
    {"Pentium G4600 Kaby Lake", 0x00000016, 0x756E6547, 0x6C65746E, 0x49656E69, 0x000906E9,
     0xBFEBFBFF, "GenuineIntel", 1, 0, 6, 0x06E9, 0x0006},
    // AMD K6 233 MHz; InstLatx64 AuthenticAMD/AuthenticAMD0000562_K6_CPUID.txt
    {"AMD K6", 0x00000001, 0x68747541, 0x444D4163, 0x69746E65, 0x00000562, 0x008001BF,
     "AuthenticAMD", 3, 1, 5, 0x0562, 0x8005},
    // AMD FX-8150 (Bulldozer); VirtualBox src/VBox/VMM/VMMR3/cpus/AMD_FX_8150_Eight_Core.h
    {"AMD FX-8150 Bulldozer", 0x0000000D, 0x68747541, 0x444D4163, 0x69746E65, 0x00600F12,
     0x178BFBFF, "AuthenticAMD", 3, 1, 15, 0x0F12, 0x800F},
    // Hygon C86 7185; VirtualBox src/VBox/VMM/VMMR3/cpus/Hygon_C86_7185_32_core.h
    {"Hygon C86 7185", 0x0000000D, 0x6F677948, 0x656E6975, 0x6E65476E, 0x00900F01, 0x178BFBFF,
     "HygonGenuine", 0, 0, 15, 0x0F01, 0x000F},
    // VIA C3 Nehemiah; InstLatx64 CentaurHauls/CentaurHauls0000691_C5XL_Nehemiah_CPUID.txt
    {"VIA C3 Nehemiah", 0x00000001, 0x746E6543, 0x736C7561, 0x48727561, 0x00000691, 0x0380B135,
     "CentaurHauls", 0, 0, 6, 0x0691, 0x0006},
    // Cyrix 6x86MX/MII 250 MHz; InstLatx64 CyrixInstead/CyrixInstead0000600_MII_CPUID.txt
    {"Cyrix 6x86MX", 0x00000001, 0x69727943, 0x64616574, 0x736E4978, 0x00000600, 0x0080A135,
     "CyrixInstead", 2, 1, 6, 0x0600, 0x8006},
};

class RealProcessorTest : public FakeProcessorTableTest<RealProcessor> {
  protected:
    void UseIt() {
        const RealProcessor& p = GetParam();
        UseProcessorWithCpuid(VendorFromRegisters(p.ebx, p.edx, p.ecx), p.highest_leaf, p.leaf1_eax,
                              p.leaf1_edx);
    }
};

TEST_P(RealProcessorTest, IdentifiesVendorAndClone) {
    const RealProcessor& p = GetParam();
    UseIt();
    EXPECT_EQ(IdentifyVendor(), p.highest_leaf);
    EXPECT_EQ(std::string(VendorBuffer, 12), p.vendor);
    EXPECT_EQ(VendorCode, p.vendor_code);
    EXPECT_EQ(CloneFlag, p.clone_flag);
    EXPECT_EQ(IntelMatch, p.vendor_code == 1 ? 1u : 0u);
}

TEST_P(RealProcessorTest, ReadsFamilySignatureFeaturesAndType) {
    const RealProcessor& p = GetParam();
    UseIt();
    EXPECT_EQ(CpuidSupported(), 1);
    EXPECT_EQ(ReadFamily(), p.family);
    EXPECT_EQ(ReadSignature(), p.signature);
    EXPECT_EQ(ReadFeatureFlags(), p.leaf1_edx);
    EXPECT_EQ(GetProcessorType(), p.processor_type);
}

TEST_P(RealProcessorTest, ReportsThroughTheSixFunctions) {
    const RealProcessor& p = GetParam();
    UseIt();
    EXPECT_EQ(CallScriptFunction(kCcpusupt).value, 1u);
    EXPECT_EQ(CallScriptFunction(kCcpuid).value, p.family);
    EXPECT_EQ(CallScriptFunction(kCcpuidext).value, p.signature);
    EXPECT_EQ(CallScriptFunction(kCcpufeat).value, p.leaf1_edx);
    EXPECT_EQ(CallScriptFunction(kCvendorid).value, p.vendor_code);
    EXPECT_EQ(CallScriptFunction(kCclonecheck).value, p.clone_flag);
}

INSTANTIATE_TEST_SUITE_P(Table, RealProcessorTest, testing::ValuesIn(kRealProcessors));

}  // namespace
