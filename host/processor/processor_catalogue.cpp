#include "host/processor/processor_catalogue.h"

#include "abi/scan_loop.h"
#include "host/base/bounded_text.h"

namespace qel {
namespace {

// One row per processor: {name, title, qemu -cpu string, vendor, leaf 1 EAX, leaf 1 EDX as
// qemu reports it, leaf 1 EDX of the chip, highest leaf, what qemu cannot show, leaf 1 EBX
// and ECX of the chip, clock rate in kHz}. Leaf 0 and leaf 1 are those of the recorded dump
// named above the row (the dump's first processor; the vendor string spells leaf 0's EBX, EDX
// and ECX), the clock rate the one its source names. The qemu model gives the instruction
// set only (tests/zoo runs every row under qemu 7.2): no CMOV before the P6 class, no
// time-stamp counter on the 486 class; the DLL's CPUID is answered from the recorded leaves.
// qemu's TCG never reports VME, PSN, DS, HT, TM or PBE.
//   InstLatx64 = github.com/InstLatx64/InstLatx64, libcpuid = github.com/anrieff/libcpuid
//   (tests/), rustid = github.com/timw4mail/rustid (tests/cpuid/dump/, `cpuid -r` layout).
constexpr CatalogueProcessor kCatalogue[] = {
    // Dump: InstLatx64 GenuineIntel/GenuineIntel0000480_486_CPUID.txt, quoted verbatim (with
    // its URL) in google/cpu_features test/cpuinfo_x86_test.cc, CpuidX86Test.INTEL_80486.
    // Clock: 100 MHz (3 x 33), IntelDX4 Processor Data Book (Intel, 1994).
    {"486dx4", "Intel IntelDX4 (486, model 8)", "486,-pse", "GenuineIntel", 0x00000480, 0x00000001,
     0x00000003, 1, "no VME under qemu", 0, 0, 100000},
    // Dump and clock: InstLatx64 GenuineIntel/GenuineIntel0000525_P54C_CPUID.txt ("Intel
    // Pentium, 100 MHz", C2 stepping). Chosen over the 0x52C of boot logs: both values from
    // one recorded file.
    {"pentium-p54c", "Intel Pentium 100 (P54C, C2 stepping)",
     "pentium,-mmx,-apic,model=2,stepping=5", "GenuineIntel", 0x00000525, 0x000001BD, 0x000001BF, 1,
     "no VME under qemu", 0, 0, 100000},
    // Dump: google/EXEgesis exegesis/base/cpuid_x86_test.cc, ToCpuInfo_PentiumMmx (leaf 0; its
    // EDX 0x008003BF has APIC on). Leaf 1 EDX 0x008001BF and the clock (199.777 MHz) from
    // Linux boot logs of uniprocessor P55C boards ("caps: 008001bf"), which the fixture, a
    // dump without a named source, does not outweigh.
    {"pentium-mmx", "Intel Pentium MMX (P55C, B1 stepping)", "pentium,-apic", "GenuineIntel",
     0x00000543, 0x008001BD, 0x008001BF, 1, "no VME under qemu", 0, 0, 200000},
    // Dump and clock: InstLatx64 GenuineIntel/GenuineIntel0000619_P6_CPUID.txt ("Pentium
    // Pro, 200 MHz (3 x 67)"). The Pentium Pro sets SEP although it has no SYSENTER.
    {"pentium-pro", "Intel Pentium Pro (sB1 stepping)",
     "pentium2,-mmx,-fxsr,-pat,-pse36,model=1,stepping=9", "GenuineIntel", 0x00000619, 0x0000FBFD,
     0x0000FBFF, 2, "no VME under qemu", 0, 0, 200000},
    // Dump: manusov/JavaCrossPlatformCPUID results_examples/ABIT_BE6-II_Pentium-2_300/
    // report_cpuid_v1_03_06.txt (APIC off on that board); clock: its report_system.txt
    // ("Time Stamp Counter clock 301,12 MHz"), a 300 MHz part.
    {"pentium-ii", "Intel Pentium II (Deschutes, B0 stepping)", "pentium2,-apic", "GenuineIntel",
     0x00000652, 0x0183F9FD, 0x0183F9FF, 2, "no VME under qemu", 0, 0, 300000},
    // Dump and clock: InstLatx64 GenuineIntel/GenuineIntel0000673_P3_KatmaiDP_CPUID.txt ("2x
    // Intel Pentium III, 500 MHz (5 x 100)"): highest leaf 3 and the serial number (PSN), as
    // in libcpuid intel/ia-32/p6/intel-pentium-iii-katmai.test.
    {"pentium-iii", "Intel Pentium III (Katmai, C0 stepping)", "pentium3", "GenuineIntel",
     0x00000673, 0x0383FBFD, 0x0387FBFF, 3, "no VME or PSN under qemu", 0, 0, 500000},
    // Dump and clock: InstLatx64 GenuineIntel/GenuineIntel0000F29_P4_Northwood_CPUID.txt
    // ("Intel Pentium 4, 2800 MHz (14 x 200)").
    {"pentium-4", "Intel Pentium 4 (Northwood, D1 stepping)",
     "kvm32,family=15,model=2,stepping=9,level=2,+acpi,+ss", "GenuineIntel", 0x00000F29, 0x0FCBFBFD,
     0xBFEBFBFF, 2, "no VME, DS, HT, TM or PBE under qemu", 0x00020809, 0x00004400, 2800000},
    // Dump: libcpuid intel/core_12th_gen/alder-lake-s-i9.test (i9-12900K); clock: its own
    // leaf 0x16, base 3200 MHz (ark.intel.com agrees).
    {"alder-lake", "Intel Core i9-12900K (Alder Lake, C0 stepping)",
     "kvm32,family=6,model=151,stepping=2,level=32,+acpi,+ss", "GenuineIntel", 0x00090672,
     0x0FCBFBFD, 0xBFEBFBFF, 32, "no VME, DS, HT, TM or PBE under qemu", 0x00800800, 0x7FFAFBFF,
     3200000},

    // No recorded dump found. AMD Processor Recognition (AN 20734): Am5x86 write-back is family
    // 4 model 15, FPU only. Clock: 133 MHz (4 x 33), Am5x86-P75, Am5x86 data sheet.
    {"am5x86", "AMD Am5x86-P75 (write-back, model 15)",
     "486,-pse,vendor=AuthenticAMD,family=4,model=15,stepping=4", "AuthenticAMD", 0x000004F4,
     0x00000001, 0x00000001, 1, "", 0, 0, 133000},
    // Dump: libcpuid amd/k5/amd-k5-pr166.test. Clock: the PR166 runs at 116.7 MHz (1.75 x
    // 66.67), AMD-K5 Processor Data Sheet. K5 models 1 to 3 report PGE in bit 13.
    {"k5", "AMD-K5 PR166 (model 2)",
     "pentium,-mmx,-apic,+pge,vendor=AuthenticAMD,model=2,stepping=4", "AuthenticAMD", 0x00000524,
     0x000021BD, 0x000021BF, 1, "no VME under qemu", 0, 0, 116667},
    // Dump and clock: InstLatx64 AuthenticAMD/AuthenticAMD0000562_K6_CPUID.txt ("AMD K6, 233
    // MHz"); the same lines in libcpuid amd/k6/amd-k6.test.
    {"k6", "AMD-K6 (model 6)", "pentium,-apic,vendor=AuthenticAMD,model=6,stepping=2",
     "AuthenticAMD", 0x00000562, 0x008001BD, 0x008001BF, 1, "no VME under qemu", 0, 0, 233000},
    // Dump and clock: InstLatx64 AuthenticAMD/AuthenticAMD000058C_K6_ChomperExt_CPUID.txt
    // ("AMD K6-2, 450 MHz (4.5 x 100)"); the same lines in libcpuid
    // amd/k6/amd-k6-2-chomper-extended.test.
    {"k6-2", "AMD K6-2 (model 8, CXT core)",
     "pentium,-apic,+pge,vendor=AuthenticAMD,model=8,stepping=12", "AuthenticAMD", 0x0000058C,
     0x008021BD, 0x008021BF, 1, "no VME under qemu", 0, 0, 450000},
    // No raw dump of a model-4 K7 found: composed from a Linux boot log of a 1000 MHz
    // Thunderbird, stepping 2 ("Detected 1000.466 MHz processor", "caps: 0183f9ff"), and the
    // recorded K7 dumps around it (libcpuid amd/k7/*, models 1 to 3; manusov's model 8), none
    // of which reports APIC. Signature: AN 20734 (Athlon model 4).
    {"athlon-thunderbird", "AMD Athlon (Thunderbird, model 4)",
     "athlon,-sse,-sse2,-apic,model=4,stepping=2,level=1", "AuthenticAMD", 0x00000642, 0x0183F9FD,
     0x0183F9FF, 1, "no VME under qemu", 0, 0, 1000000},
    // Dump: libcpuid amd/zen3/epyc-milan.test (EPYC 7713); clock: base 2.0 GHz, AMD's EPYC
    // 7713 product specification.
    {"epyc-milan", "AMD EPYC 7713 (Zen 3 Milan, family 25)",
     "kvm32,vendor=AuthenticAMD,family=25,model=1,stepping=1,level=16", "AuthenticAMD", 0x00A00F11,
     0x078BFBFD, 0x178BFBFF, 16,
     "no VME or HT under qemu; qemu's 64-bit EPYC-Milan model warns on qemu-i386, kvm32 "
     "carries the same leaf 1",
     0x00800800, 0x7EDA320B, 2000000},

    // No recorded dump found. Cyrix CPU Detection Guide: the 5x86 has no CPUID and is told by
    // its DIR0/DIR1 registers; family 4 model 9 is the reading CPUID tools expect of it.
    // Clock: 100 MHz (3 x 33), 5x86-100GP, Cyrix 5x86 data sheet.
    {"cyrix-5x86", "Cyrix 5x86 (M1sc)", "486,-pse,vendor=CyrixInstead,family=4,model=9,stepping=0",
     "CyrixInstead", 0x00000490, 0x00000001, 0x00000001, 1,
     "the real 5x86 has no CPUID; this is the family-4 model-9 reading CPUID tools expect "
     "of it, stepping unknown",
     0, 0, 100000},
    // Dump: InstLatx64 CyrixInstead/CyrixInstead0000520_6x86_CPUID.txt: FPU, DE and CX8 (the
    // FPU-only reading is the recorded 0x530 chip's). Clock: 133 MHz (2 x 66), the P166+,
    // Cyrix 6x86 data book. CPUID is on once CCR4 bit 7 is set.
    {"cyrix-6x86", "Cyrix 6x86 P166+ (M1)",
     "486,-pse,+de,+cx8,vendor=CyrixInstead,family=5,model=2,stepping=0", "CyrixInstead",
     0x00000520, 0x00000105, 0x00000105, 1, "", 0x00530000, 0, 133000},
    // Dump and clock: InstLatx64 CyrixInstead/CyrixInstead0000600_MII_CPUID.txt ("Cyrix
    // 6x86MX/MII, 250 MHz (3 x 83)").
    {"cyrix-6x86mx", "Cyrix 6x86MX / MII (M2)",
     "pentium,-pse,-mce,-apic,+pge,+cmov,vendor=CyrixInstead,family=6,model=0,stepping=0",
     "CyrixInstead", 0x00000600, 0x0080A135, 0x0080A135, 1, "", 0, 0, 250000},

    // No raw dump of a C6 found (InstLatx64 holds it as an image): composed from InstLatx64
    // CentaurHauls/CentaurHauls0000541_WinChipC6_InstLatX86.txt (CoreType 0x541, "Features:
    // TSC, FPU, MMX, CMPXCHG8B", "Frequency: 240.86MHz") with the WinChip 2's raw leaves
    // (CentaurHauls0000585_WinChipC6Plus_CPUID.txt, EDX 0x008001B5). CX8 reported, as on
    // both recorded chips once Windows had booted (the power-on FCR hides it).
    {"winchip-c6", "IDT WinChip C6 (240 MHz)",
     "pentium,-pse,-apic,vendor=CentaurHauls,model=4,stepping=1", "CentaurHauls", 0x00000541,
     0x008001B5, 0x008001B5, 1, "", 0, 0, 240000},
    // Dump: libcpuid via/samuel2/c3.test and via-samuel-2.test (identical leaves 0 and 1), CX8
    // reported as after the OS set the FCR (a Linux boot log shows 00803035 before vendor
    // init, 00803135 after). Clock: the same chip's boot log, "Detected 800.031 MHz".
    {"via-c3", "VIA C3 (Samuel 2, 800 MHz)",
     "pentium,-pse,-mce,-apic,+mtrr,+pge,vendor=CentaurHauls,family=6,model=7,stepping=3",
     "CentaurHauls", 0x00000673, 0x00803135, 0x00803135, 1, "family 6 without CMOV", 0, 0, 800000},
    // Dump and clock: rustid Transmeta_Crusoe_TM5700.txt; its leaf 0x80860001 ECX names 800
    // MHz. CMOV although family 5.
    {"crusoe", "Transmeta Crusoe TM5700",
     "pentium,-mce,-apic,+sep,+cmov,vendor=GenuineTMx86,family=5,model=4,stepping=3",
     "GenuineTMx86", 0x00000543, 0x0080893D, 0x0080893F, 1, "no VME under qemu", 0, 0, 800000},
    // No recorded dump found. NexGen Nx586 data book (P100: family 5 model 0 stepping 4, 93
    // MHz); no FPU on chip; CPUID only with the 1995 BIOS hypercode (Linux's
    // deep_magic_nexgen_probe finds the others).
    {"nx586", "NexGen Nx586 P100", "486,-pse,-fpu,vendor=NexGenDriven,family=5,model=0,stepping=4",
     "NexGenDriven", 0x00000504, 0x00000000, 0x00000000, 1,
     "CPUID only with the 1995 BIOS hypercode; older ones need NexGen's own probe", 0, 0, 93000},
    // Dump and clock: InstLatx64 RiseRiseRise/RiseRiseRise0000521_mP6_CPUID.txt ("Rise mP6,
    // 200 MHz PR266"); CX8 hidden until the chip's own unlock sequence.
    {"rise-mp6", "Rise mP6 (200 MHz, PR266)",
     "pentium,-de,-pse,-msr,-mce,-cx8,-apic,vendor=RiseRiseRise,family=5,model=2,stepping=1",
     "RiseRiseRise", 0x00000521, 0x00800011, 0x00800011, 1, "", 0, 0, 200000},
    // Dump: rustid Umc_Green_U5S.txt. Clock: 33 MHz, the U5S-SUPER33 (UMC U5S data sheet);
    // 486SX class, no FPU.
    {"umc-u5s", "UMC Green CPU U5S-SUPER33 (486SX class)",
     "486,-pse,-fpu,vendor=UMC UMC UMC ,family=4,model=2,stepping=3", "UMC UMC UMC ", 0x00000423,
     0x00000000, 0x00000000, 1, "", 0, 0, 33000},
    // Dump: libcpuid hygon/dhyana/hygon-c86-7185-32-core-processor.test; clock: the same chip
    // in InstLatx64 HygonGenuine/HygonGenuine0900F01_Hygon_InstLatX64.txt ("Freq:
    // 1999.99MHz").
    {"hygon-dhyana", "Hygon Dhyana (C86 7185, family 24)",
     "kvm32,vendor=HygonGenuine,family=24,model=0,stepping=1,level=13", "HygonGenuine", 0x00900F01,
     0x078BFBFD, 0x178BFBFF, 13,
     "no VME or HT under qemu; qemu's Dhyana model warns on qemu-i386, kvm32 carries the same "
     "leaf 1",
     0x3E400800, 0x7CD83209, 2000000},
    // Dump: InstLatx64 CentaurHauls/CentaurHauls00607B1_KX7000_05_CPUID.txt ("CentaurHauls",
    // highest leaf 0x1F). Clock: base 3.2 GHz, Zhaoxin's KX-7000 announcement and Chips and
    // Cheese's measurement ("runs at 3.2 GHz").
    {"zhaoxin-kx7000", "Zhaoxin KaiXian KX-7000 (family 7)",
     "kvm32,vendor=CentaurHauls,family=7,model=107,stepping=1,level=31,+acpi,+ss", "CentaurHauls",
     0x000607B1, 0x0FCBFBFD, 0xBFCBFBFF, 31, "no VME, HT, TM or PBE under qemu", 0x00400800,
     0x7FFA73EB, 3200000},
};

uint32_t VendorWord(const char* vendor, int index) {
    uint32_t word = 0;
    for (int byte = 3; byte >= 0; --byte)
        word = word << 8 | static_cast<uint8_t>(vendor[4 * index + byte]);
    return word;
}

}  // namespace

std::span<const CatalogueProcessor> ProcessorCatalogue() {
    return kCatalogue;
}

virtual_cpu::CpuidModel CatalogueCpuid(const CatalogueProcessor& processor) {
    virtual_cpu::CpuidModel model;
    model.Add({0, 0, processor.highest_leaf, VendorWord(processor.vendor, 0),
               VendorWord(processor.vendor, 2), VendorWord(processor.vendor, 1)});
    model.Add({1, 0, processor.signature, processor.leaf1_ebx, processor.leaf1_ecx,
               processor.real_features});
    return model;
}

uint64_t ScanLoopNanoseconds(const CatalogueProcessor& processor) {
    return ScanLoopNanoseconds(processor.signature, processor.clock_khz);
}

uint64_t ScanLoopNanoseconds(uint32_t signature, uint32_t clock_khz) {
    const uint32_t family = (signature >> 8) & 0xF;
    const uint64_t cycles =
        uint64_t(qel_abi::kScanLoopCyclesByType[family]) * qel_abi::kScanLoopPasses;
    return cycles * 1'000'000 / clock_khz;
}

ScriptedTimeline ProcessorTimeline(uint32_t signature, uint32_t features, uint32_t clock_khz) {
    ScriptedTimeline timeline;
    if ((features & kFeatureTimeStampCounter) == 0) {
        timeline.step_ns = ScanLoopNanoseconds(signature, clock_khz);
        timeline.counter_hz = kTimerChipHz;
    }
    return timeline;
}

ScriptedTimeline CatalogueTimeline(const CatalogueProcessor& processor) {
    return ProcessorTimeline(processor.signature, processor.real_features, processor.clock_khz);
}

const CatalogueProcessor* FindCatalogueProcessor(std::string_view name) {
    for (const CatalogueProcessor& processor : kCatalogue) {
        if (EqualIgnoringAsciiCase(processor.name, name))
            return &processor;
    }
    return nullptr;
}

}  // namespace qel
