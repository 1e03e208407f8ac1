#include "host/processor/processor_catalogue.h"

#include "host/base/bounded_text.h"

namespace qel {
namespace {

// One row per processor. The real chip's values come from the document or dump named above
// the row; qemu_cpu was checked against qemu 7.2 (tests/zoo runs every row). qemu's TCG
// never reports VME, PSN, DS, HT, TM or PBE, and executes RDTSC whatever the TSC bit says;
// vendor, signature, highest leaf, TSC and CMOV match the real chip in every row.
constexpr CatalogueProcessor kCatalogue[] = {
    // Intel AP-485 (Processor Identification and the CPUID Instruction): the IntelDX4 is
    // family 4 model 8 and reports FPU and VME.
    {"486dx4", "Intel IntelDX4 (486, model 8)", "486,-pse", "GenuineIntel", 0x00000480, 0x00000001,
     0x00000003, 1, "no VME under qemu"},
    // AP-485 (Pentium 75-200 is family 5 model 2; FPU VME DE PSE TSC MSR MCE CX8, APIC only
    // when enabled at reset); the cC0 stepping as Todd Allen's cpuid tables list it.
    {"pentium-p54c", "Intel Pentium 75-200 (P54C, cC0 stepping)",
     "pentium,-mmx,-apic,model=2,stepping=12", "GenuineIntel", 0x0000052C, 0x000001BD, 0x000001BF,
     1, "no VME under qemu; APIC off, as on single-processor boards"},
    // AP-485: the P55C adds MMX; B1 stepping 0x543.
    {"pentium-mmx", "Intel Pentium MMX (P55C, B1 stepping)", "pentium,-apic", "GenuineIntel",
     0x00000543, 0x008001BD, 0x008001BF, 1,
     "no VME under qemu; APIC off, as on single-processor boards"},
    // AP-485: the Pentium Pro sets SEP although it has no SYSENTER; sB1 stepping 0x619.
    {"pentium-pro", "Intel Pentium Pro (sB1 stepping)",
     "pentium2,-mmx,-fxsr,-pat,-pse36,model=1,stepping=9", "GenuineIntel", 0x00000619, 0x0000FBFD,
     0x0000FBFF, 2, "no VME under qemu"},
    // AP-485: Deschutes adds PAT, PSE-36, MMX and FXSR; B0 stepping 0x652.
    {"pentium-ii", "Intel Pentium II (Deschutes, B0 stepping)", "pentium2", "GenuineIntel",
     0x00000652, 0x0183FBFD, 0x0183FBFF, 2, "no VME under qemu"},
    // AP-485: Katmai adds SSE and the serial number; with the serial number switched off,
    // as BIOSes shipped it, bit 18 is clear and the highest leaf drops from 3 to 2.
    {"pentium-iii", "Intel Pentium III (Katmai, C0 stepping, serial number off)",
     "pentium3,level=2", "GenuineIntel", 0x00000673, 0x0383FBFD, 0x0383FBFF, 2,
     "no VME under qemu"},
    // AP-485 (Pentium 4 family 15, highest leaf 2, adds SS HT TM PBE to the P6 flags) and
    // Todd Allen's cpuid tables (Northwood D1 stepping 0xf29).
    {"pentium-4", "Intel Pentium 4 (Northwood, D1 stepping)",
     "kvm32,family=15,model=2,stepping=9,level=2,+acpi,+ss", "GenuineIntel", 0x00000F29, 0x0FCBFBFD,
     0xBFEBFBFF, 2, "no VME, DS, HT, TM or PBE under qemu"},
    // Intel 12th-generation Core specification update: i9-12900K C0 stepping 0x90672;
    // highest leaf 0x20, EDX 0xbfebfbff.
    {"alder-lake", "Intel Core i9-12900K (Alder Lake, C0 stepping)",
     "kvm32,family=6,model=151,stepping=2,level=32,+acpi,+ss", "GenuineIntel", 0x00090672,
     0x0FCBFBFD, 0xBFEBFBFF, 32,
     "no VME, DS, HT, TM or PBE under qemu; leaves 2 and up are kvm32's"},

    // AMD AN 20734 (AMD Processor Recognition): Am5x86 write-back is family 4 model 15
    // stepping 4 and reports only the FPU.
    {"am5x86", "AMD Am5x86-P75 (write-back, model 15)",
     "486,-pse,vendor=AuthenticAMD,family=4,model=15,stepping=4", "AuthenticAMD", 0x000004F4,
     0x00000001, 0x00000001, 1, ""},
    // AN 20734 (K5 models 1 to 3 report PGE in bit 13) and a Linux boot log of a 116 MHz
    // K5 PR166: caps 000021bf, stepping 04.
    {"k5", "AMD-K5 PR166 (model 2)",
     "pentium,-mmx,-apic,+pge,vendor=AuthenticAMD,model=2,stepping=4", "AuthenticAMD", 0x00000524,
     0x000021BD, 0x000021BF, 1, "no VME under qemu"},
    // AN 20734: the K6 is family 5 model 6, FPU VME DE PSE TSC MSR MCE CX8 MMX.
    {"k6", "AMD-K6 (model 6)", "pentium,-apic,vendor=AuthenticAMD,model=6,stepping=2",
     "AuthenticAMD", 0x00000562, 0x008001BD, 0x008001BF, 1, "no VME under qemu"},
    // AN 20734: the K6-2 adds PGE (3DNow! is in the extended leaves); CXT core stepping 12.
    {"k6-2", "AMD K6-2 (model 8, CXT core)",
     "pentium,-apic,+pge,vendor=AuthenticAMD,model=8,stepping=12", "AuthenticAMD", 0x0000058C,
     0x008021BD, 0x008021BF, 1, "no VME under qemu"},
    // AN 20734: Athlon model 4 (Thunderbird), highest leaf 1, no SSE before model 6.
    {"athlon-thunderbird", "AMD Athlon (Thunderbird, model 4)",
     "athlon,-sse,-sse2,model=4,stepping=2,level=1", "AuthenticAMD", 0x00000642, 0x0183FBFD,
     0x0183FBFF, 1, "no VME under qemu"},
    // AMD PPR for family 19h model 01h (Milan B1, 0x00a00f11; highest leaf 0x10); the
    // family-25 machine of the platform notes reports 13 under its hypervisor.
    {"epyc-milan", "AMD EPYC 7003 (Zen 3 Milan, family 25)",
     "kvm32,vendor=AuthenticAMD,family=25,model=1,stepping=1,level=16", "AuthenticAMD", 0x00A00F11,
     0x078BFBFD, 0x178BFBFF, 16,
     "no VME or HT under qemu; qemu's 64-bit EPYC-Milan model warns on qemu-i386, kvm32 "
     "carries the same leaf 1"},

    // Cyrix AN 112 (CPU Detection Guide): the 5x86 has no CPUID and is told by its DIR0/DIR1
    // registers; CPUID tools (Todd Allen's cpuid, illumos) name family 4 model 9 the 5x86.
    {"cyrix-5x86", "Cyrix 5x86 (M1sc)", "486,-pse,vendor=CyrixInstead,family=4,model=9,stepping=0",
     "CyrixInstead", 0x00000490, 0x00000001, 0x00000001, 1,
     "the real 5x86 has no CPUID; this is the family-4 model-9 reading CPUID tools expect "
     "of it, stepping unknown"},
    // Cyrix CPUID tables (6x86: family 5 model 2, highest leaf 1, FPU only; 6x86L adds DE
    // and CX8): CPUID is off after reset until CCR4 bit 7 is set.
    {"cyrix-6x86", "Cyrix 6x86 (M1)", "486,-pse,vendor=CyrixInstead,family=5,model=2,stepping=0",
     "CyrixInstead", 0x00000520, 0x00000001, 0x00000001, 1,
     "CPUID as after setting CCR4 bit 7; stepping nibble unknown"},
    // Cyrix CPUID tables (6x86MX: family 6 model 0) and Linux boot logs of a 6x86MX and
    // MII: caps 0080a135.
    {"cyrix-6x86mx", "Cyrix 6x86MX / MII (M2)",
     "pentium,-pse,-mce,-apic,+pge,+cmov,vendor=CyrixInstead,family=6,model=0,stepping=0",
     "CyrixInstead", 0x00000600, 0x0080A135, 0x0080A135, 1, ""},

    // IDT WinChip C6 data sheet v1.10 and a Linux boot log ("Centaur WinChip C6 stepping
    // 01", FCR 0x410200 with CX8 reporting off): FPU DE TSC MSR MCE MMX.
    {"winchip-c6", "IDT WinChip C6",
     "pentium,-pse,-cx8,-apic,vendor=CentaurHauls,model=4,stepping=1", "CentaurHauls", 0x00000541,
     0x008000B5, 0x008000B5, 1, "CX8 not reported, as before the FCR enables it"},
    // Linux boot log "Centaur VIA Samuel 2 stepping 03": caps 00803035 before vendor init.
    {"via-c3", "VIA C3 (Samuel 2)",
     "pentium,-pse,-mce,-cx8,-apic,+mtrr,+pge,vendor=CentaurHauls,family=6,model=7,stepping=3",
     "CentaurHauls", 0x00000673, 0x00803035, 0x00803035, 1,
     "family 6 without CMOV; CX8 not reported, as before the FCR enables it"},
    // Linux boot logs of TM5600 and TM5800 ("stepping 03"): caps 0080893f after generic
    // identify; CMOV although family 5.
    {"crusoe", "Transmeta Crusoe TM5600",
     "pentium,-mce,-apic,+sep,+cmov,vendor=GenuineTMx86,family=5,model=4,stepping=3",
     "GenuineTMx86", 0x00000543, 0x0080893D, 0x0080893F, 1, "no VME under qemu"},
    // NexGen Nx586 Processor Recognition application note and Todd Allen's cpuid tables
    // (family 5 model 0 stepping 4: P100); no FPU on chip.
    {"nx586", "NexGen Nx586 P100", "486,-pse,-fpu,vendor=NexGenDriven,family=5,model=0,stepping=4",
     "NexGenDriven", 0x00000504, 0x00000000, 0x00000000, 1,
     "CPUID only with the 1995 BIOS hypercode; older ones need NexGen's own probe"},
    // Processor tables (0x504 Kirin) and Linux's Rise support: no MSRs, CX8 hidden until
    // the chip's own unlock sequence (/proc/cpuinfo then shows fpu tsc cx8 mmx).
    {"rise-mp6", "Rise mP6 iDragon (Kirin, 0.25 um)",
     "pentium,-de,-pse,-msr,-mce,-cx8,-apic,vendor=RiseRiseRise,family=5,model=0,stepping=4",
     "RiseRiseRise", 0x00000504, 0x00800011, 0x00800011, 1,
     "CX8 not reported, as before the unlock sequence"},
    // A UCA analysis of a U5S-SUPER33 ("UMC UMC UMC ", 0x423) and Todd Allen's cpuid
    // tables (family 4 model 2 stepping 3: U5S); 486SX class, no FPU.
    {"umc-u5s", "UMC Green CPU U5S (486SX class)",
     "486,-pse,-fpu,vendor=UMC UMC UMC ,family=4,model=2,stepping=3", "UMC UMC UMC ", 0x00000423,
     0x00000000, 0x00000000, 1, ""},
    // qemu's Dhyana model and the Hygon C86 7185 (family 24 model 0 stepping 1, highest
    // leaf 13); leaf-1 EDX as the Zen 1 EPYC it derives from.
    {"hygon-dhyana", "Hygon Dhyana (C86 7185, family 24)",
     "kvm32,vendor=HygonGenuine,family=24,model=0,stepping=1,level=13", "HygonGenuine", 0x00900F01,
     0x078BFBFD, 0x178BFBFF, 13,
     "no VME or HT under qemu; qemu's Dhyana model warns on qemu-i386, kvm32 carries the same "
     "leaf 1"},
    // The KX-7000 model proposed for qemu (qemu-devel, December 2024: "  Shanghai  ", family
    // 7 model 0x6b stepping 1, highest leaf 13); leaf-1 EDX as /proc/cpuinfo of a KX-U6780A.
    {"zhaoxin-kx7000", "Zhaoxin KaiXian KX-7000 (family 7)",
     "kvm32,vendor=  Shanghai  ,family=7,model=107,stepping=1,level=13,+acpi,+ss", "  Shanghai  ",
     0x000607B1, 0x0FCBFBFD, 0xBFCBFBFF, 13,
     "no VME, HT, TM or PBE under qemu; the KX-6000 before it reports CentaurHauls"},
};

}  // namespace

std::span<const CatalogueProcessor> ProcessorCatalogue() {
    return kCatalogue;
}

const CatalogueProcessor* FindCatalogueProcessor(std::string_view name) {
    for (const CatalogueProcessor& processor : kCatalogue) {
        if (EqualIgnoringAsciiCase(processor.name, name))
            return &processor;
    }
    return nullptr;
}

}  // namespace qel
