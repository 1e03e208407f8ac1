// CPUID dumps in each format and each spelling of it read to the first processor's leaves,
// or to the one asked for, with the clock rate they record; malformed ones refused with
// their line, and our own format written and read back. The samples are cut from public
// dumps (libcpuid's test files, InstLatx64's collection) and `cpuid -r` output.
#include "host/virtual_cpu/cpuid_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qel::virtual_cpu {
namespace {

struct FormatCase {
    const char* what;
    std::string text;
    DumpFormat format;
    size_t record_count;
    std::vector<CpuidRecord> expected;  // among the records
};

void PrintTo(const FormatCase& c, std::ostream* out) {
    *out << c.what;
}

class Formats : public testing::TestWithParam<FormatCase> {};

TEST_P(Formats, ReadToTheFirstProcessorsLeaves) {
    const FormatCase& c = GetParam();
    const DumpReading reading = ReadCpuidDump(c.text);
    ASSERT_TRUE(reading.dump.has_value())
        << "line " << reading.error.line << ": " << reading.error.message;
    EXPECT_EQ(reading.dump->format, c.format) << DumpFormatName(reading.dump->format);
    EXPECT_EQ(reading.dump->records.size(), c.record_count);
    for (const CpuidRecord& expected : c.expected) {
        EXPECT_NE(std::find(reading.dump->records.begin(), reading.dump->records.end(), expected),
                  reading.dump->records.end())
            << "leaf 0x" << std::hex << expected.leaf << " subleaf 0x" << expected.subleaf;
    }
}

// libcpuid tests/amd/k6/amd-k6-2-chomper.test, with its expected results after the rule.
const char kK62Listing[] =
    "------[ Logical CPU #0 ]------\n"
    "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
    "CPUID 00000001: 00000580-00000000-00000000-008001BF\n"
    "CPUID 80000000: 80000005-00000000-00000000-00000000\n"
    "CPUID 80000001: 00000680-00000000-00000000-808009BF\n"
    "--------------------------------------------------------------------------------\n"
    "x86\n"
    "i586\n"
    "K6-2 (Chomper)\n";

// InstLatx64 GenuineIntel0000673_P3_KatmaiDP_CPUID.txt (EVEREST), shortened: prose sections
// with "CPUID Manufacturer" lines, two processors, the MSR section.
const char kKatmaiListing[] =
    "------[ Versions ]------\n"
    "\n"
    "Program Version : EVEREST v4.60.1628 Beta\n"
    "\n"
    "------[ CPU Info ]------\n"
    "\n"
    "CPUID Manufacturer : GenuineIntel\n"
    "CPUID Revision     : 00000673h\n"
    "\n"
    "------[ Logical CPU #0 ]------\n"
    "\n"
    "allcpu: Valid\n"
    "\n"
    "CPUID 00000000: 00000003-756E6547-6C65746E-49656E69\n"
    "CPUID 00000001: 00000673-00000000-00000000-0387FBFF\n"
    "CPUID 00000002: 03020101-00000000-00000000-0C040843\n"
    "CPUID 00000003: 00000000-00000000-4CECC782-00006778\n"
    "\n"
    "------[ Logical CPU #1 ]------\n"
    "\n"
    "CPUID 00000003: 00000000-00000000-779D7EC9-0002DE53\n"
    "\n"
    "------[ MSR Registers ]------\n"
    "\n"
    "MSR 00000017: 5100-0000-0000-0000 [PlatID = 0]\n"
    "PerformanceFrequency = 501160000\n";

// InstLatx64 GenuineIntel00006F2_Conroe_CPUID.txt: an older EVEREST listing, processors
// counted from 1, leaf 4's subleaves one after the other without [SL].
const char kConroeListing[] =
    "CPUID Registers (CPU #1):\r\n"
    "CPUID 00000000: 0000000A-756E6547-6C65746E-49656E69\r\n"
    "CPUID 00000001: 000006F2-00020800-0000E3BD-BFEBFBFF\r\n"
    "CPUID 00000004: 04000121-01C0003F-0000003F-00000000\r\n"
    "CPUID 00000004: 04000122-01C0003F-0000003F-00000000\r\n"
    "CPUID 00000004: 04004143-01C0003F-00000FFF-00000000\r\n"
    "CPUID 00000005: 00000040-00000040-00000003-00000020\r\n"
    "\r\n"
    "CPUID Registers (CPU #2):\r\n"
    "CPUID 00000001: 000006F2-01020800-0000E3BD-BFEBFBFF\r\n";

// libcpuid tests/intel/core_13th_gen/raptor-lake-p-i7.test, shortened: [SL nn] in hex and
// comments in brackets.
const char kRaptorListing[] =
    "------[ CPUID Registers / Logical CPU #0 ]------\n"
    "CPUID 00000000: 00000020-756E6547-6C65746E-49656E69 [GenuineIntel]\n"
    "CPUID 00000001: 000B06A2-00800800-7FFAFBFF-BFEBFBFF\n"
    "CPUID 00000004: FC004121-02C0003F-0000003F-00000000 [SL 00] [L1D: 48 KB]\n"
    "CPUID 00000004: FC004122-01C0003F-0000003F-00000000 [SL 01] [L1I: 32 KB]\n"
    "CPUID 0000000D: 00000008-00000A80-00000000-00000000 [SL 09] [PKRU]\n"
    "CPUID 0000000D: 00000008-00000000-00000001-00000000 [SL 10]\n"
    "CPUID 00000016: 00000898-00001450-00000064-00000000 [2200 / 5200 / 100]\n"
    "CPUID 80000006: 00000000-00000000-05007040-00000000 [L2: 1280 KB] / L3: 0 KB]\n"
    "------[ CPUID Registers / Logical CPU #1 ]------\n"
    "CPUID 00000001: 000B06A2-01800800-7FFAFBFF-BFEBFBFF\n";

// libcpuid tests/amd/bobcat/brazos-zacate.test, shortened; basic_cpuid[4] repeats
// intel_fn4[0].
const char kBrazosRaw[] =
    "basic_cpuid[0]=00000006 68747541 444d4163 69746e65\n"
    "basic_cpuid[1]=00500f10 00020800 00802209 178bfbff\n"
    "basic_cpuid[4]=00000000 00000000 00000000 00000000\n"
    "ext_cpuid[0]=8000001b 68747541 444d4163 69746e65\n"
    "ext_cpuid[1]=00500f10 00001242 000035ff 2fd3fbff\n"
    "intel_fn4[0]=00000000 00000000 00000000 00000000\n"
    "intel_fn4[1]=00000000 00000000 00000000 00000000\n"
    "intel_fn11[0]=00000000 00000000 00000000 00000000\n"
    "--------------------------------------------------------------------------------\n"
    "15\n"
    "Brazos Zacate (Dual-core)\n";

const char kTwoProcessorsRaw[] =
    "version=0.6.4\n"
    "_________________ Logical CPU #0 _________________\n"
    "basic_cpuid[0]=00000016 756e6547 6c65746e 49656e69\n"
    "basic_cpuid[1]=000906ea 00100800 7ffafbbf bfebfbff\n"
    "_________________ Logical CPU #1 _________________\n"
    "basic_cpuid[0]=00000016 756e6547 6c65746e 49656e69\n"
    "basic_cpuid[1]=000906ea 01100800 7ffafbbf bfebfbff\n";

const char kLinux[] =
    "CPU 0:\n"
    "   0x00000000 0x00: eax=0x00000016 ebx=0x756e6547 ecx=0x6c65746e edx=0x49656e69\n"
    "   0x00000001 0x00: eax=0x000906ea ebx=0x00100800 ecx=0x7ffafbbf edx=0xbfebfbff\n"
    "   0x00000004 0x01: eax=0x1c004122 ebx=0x01c0003f ecx=0x0000003f edx=0x00000000\n"
    "   0x80000000 0x00: eax=0x80000008 ebx=0x00000000 ecx=0x00000000 edx=0x00000000\n"
    "CPU 1:\n"
    "   0x00000001 0x00: eax=0x000906ea ebx=0x01100800 ecx=0x7ffafbbf edx=0xbfebfbff\n";

const char kLinuxOneProcessor[] =
    "CPU:\n"
    "   0x00000000 0x00: eax=0x00000001 ebx=0x68747541 ecx=0x444d4163 edx=0x69746e65\n";

const char kOwn[] =
    "kzprobex-cpuid-dump 1\n"
    "# leaf    subleaf  eax      ebx      ecx      edx\n"
    "00000000 00000000 00000001 68747541 444d4163 69746e65\n"
    "\n"
    "00000001 00000000 00000580 00000000 00000000 008021bf\n";

// The other spellings of the leaf line in InstLatx64's collection. Where no source is named,
// leaf 0 is the one a listing of that spelling records and leaf 1 is written to go with it.
// Two blanks and a tab, no colon.
const char kTabListing[] =
    "CPUID 00000000  \t00000005-756E6547-6C65746E-49656E69\n"
    "CPUID 00000001  \t00000F41-00010800-0000641D-BFEBFBFF\n";
// One blank, no colon (an AMD K5's leaf 0 and leaf 1 as EVEREST records them in
// AuthenticAMD0000514_K5_CPUID.txt).
const char kBlankListing[] =
    "CPUID 00000000 00000001-68747541-444D4163-69746E65\n"
    "CPUID 00000001  00000514-00000000-00000000-000021BF\n";
// " : " and the registers between blanks (a Centaur chip; leaf 1's EDX as EVEREST records
// it in CentaurHauls0000585_WinChipC6Plus_CPUID.txt).
const char kBlankRegistersListing[] =
    "CPUID 00000000 : 00000001 746E6543 736C7561 48727561\n"
    "CPUID 00000001: 00000541 00000000 00000000 008001B5 [comment]\n";
// " :" and no blank after it (AMD Bobcat, leaves as in libcpuid's brazos-zacate.test).
const char kColonAfterBlankListing[] =
    "CPUID 00000000 :00000006-68747541-444D4163-69746E65\n"
    "CPUID 00000001 :00500F10-00020800-00802209-178BFBFF\n";
// A "CPU 0:" heading over the listing; lower-case hex, Windows line ends and no newline at
// the end (InstLatx64 CentaurHauls0000660_C5A_Samuel_CPUID.txt), with a header and a footer.
const char kSamuelListing[] =
    "VIA C3 Samuel, dumped by hand\r\n"
    "CPU 0:\r\n"
    "CPUID 00000000: 00000001-746e6543-736c7561-48727561\r\n"
    "CPUID 00000001: 00000660-c1704000-c1705f8c-008031b5\r\n"
    "------[ MSR Registers ]------\r\n"
    "MSR 0000002A: 0000-0000-C2C4-0000\r\n"
    "PerformanceFrequency = 3579545";

INSTANTIATE_TEST_SUITE_P(
    Dumps, Formats,
    testing::Values(
        FormatCase{"libcpuid's listing of a K6-2",
                   kK62Listing,
                   DumpFormat::kCpuidListing,
                   4,
                   {{1, 0, 0x580, 0, 0, 0x008001bf}, {0x80000001, 0, 0x680, 0, 0, 0x808009bf}}},
        FormatCase{"EVEREST's listing of a Pentium III",
                   kKatmaiListing,
                   DumpFormat::kCpuidListing,
                   4,
                   {{3, 0, 0, 0, 0x4cecc782, 0x6778}, {1, 0, 0x673, 0, 0, 0x0387fbff}}},
        FormatCase{"an older EVEREST listing of a Conroe",
                   kConroeListing,
                   DumpFormat::kCpuidListing,
                   6,
                   {{1, 0, 0x6f2, 0x00020800, 0xe3bd, 0xbfebfbff},
                    {4, 1, 0x04000122, 0x01c0003f, 0x3f, 0},
                    {4, 2, 0x04004143, 0x01c0003f, 0xfff, 0}}},
        FormatCase{"AIDA64's listing of a Raptor Lake",
                   kRaptorListing,
                   DumpFormat::kCpuidListing,
                   8,
                   {{1, 0, 0x000b06a2, 0x00800800, 0x7ffafbff, 0xbfebfbff},
                    {4, 1, 0xfc004122, 0x01c0003f, 0x3f, 0},
                    {0xd, 0x10, 8, 0, 1, 0},
                    {0x80000006, 0, 0, 0, 0x05007040, 0}}},
        FormatCase{"libcpuid's raw dump of a Brazos",
                   kBrazosRaw,
                   DumpFormat::kLibcpuidRaw,
                   7,
                   {{0, 0, 6, 0x68747541, 0x444d4163, 0x69746e65},
                    {0x80000001, 0, 0x00500f10, 0x1242, 0x35ff, 0x2fd3fbff},
                    {4, 1, 0, 0, 0, 0},
                    {0xb, 0, 0, 0, 0, 0}}},
        FormatCase{"libcpuid's raw dump of two processors",
                   kTwoProcessorsRaw,
                   DumpFormat::kLibcpuidRaw,
                   2,
                   {{1, 0, 0x906ea, 0x00100800, 0x7ffafbbf, 0xbfebfbff}}},
        FormatCase{"cpuid -r",
                   kLinux,
                   DumpFormat::kLinuxCpuid,
                   4,
                   {{1, 0, 0x906ea, 0x00100800, 0x7ffafbbf, 0xbfebfbff},
                    {4, 1, 0x1c004122, 0x01c0003f, 0x3f, 0}}},
        FormatCase{"cpuid -r -1", kLinuxOneProcessor, DumpFormat::kLinuxCpuid, 1, {}},
        FormatCase{"our own", kOwn, DumpFormat::kOwn, 2, {{1, 0, 0x580, 0, 0, 0x008021bf}}},
        FormatCase{"a listing with a tab and no colon",
                   kTabListing,
                   DumpFormat::kCpuidListing,
                   2,
                   {{1, 0, 0xf41, 0x00010800, 0x641d, 0xbfebfbff}}},
        FormatCase{"a listing with blanks and no colon",
                   kBlankListing,
                   DumpFormat::kCpuidListing,
                   2,
                   {{1, 0, 0x514, 0, 0, 0x21bf}}},
        FormatCase{
            "a listing with the registers between blanks",
            kBlankRegistersListing,
            DumpFormat::kCpuidListing,
            2,
            {{0, 0, 1, 0x746e6543, 0x736c7561, 0x48727561}, {1, 0, 0x541, 0, 0, 0x008001b5}}},
        FormatCase{"a listing with a colon after a blank, saved with a byte-order mark",
                   std::string("\xEF\xBB\xBF") + kColonAfterBlankListing,
                   DumpFormat::kCpuidListing,
                   2,
                   {{1, 0, 0x00500f10, 0x00020800, 0x00802209, 0x178bfbff}}},
        FormatCase{"a listing under a CPU 0: heading, lower case, with header and footer",
                   kSamuelListing,
                   DumpFormat::kCpuidListing,
                   2,
                   {{1, 0, 0x660, 0xc1704000, 0xc1705f8c, 0x008031b5}}}));

struct MalformedCase {
    const char* what;
    std::string text;
    uint32_t line;
    const char* message_part;
};

void PrintTo(const MalformedCase& c, std::ostream* out) {
    *out << c.what;
}

class Malformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, IsRefusedWithItsLine) {
    const MalformedCase& c = GetParam();
    const DumpReading reading = ReadCpuidDump(c.text);
    ASSERT_FALSE(reading.dump.has_value());
    EXPECT_EQ(reading.error.line, c.line);
    EXPECT_NE(reading.error.message.find(c.message_part), std::string::npos)
        << reading.error.message;
}

std::string OwnWithRecords(uint32_t count) {
    std::string text = "kzprobex-cpuid-dump 1\n";
    for (uint32_t leaf = 0; leaf < count; leaf++)
        text += std::to_string(leaf) + " 0 1 2 3 4\n";  // decimal digits read as hexadecimal
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Dumps, Malformed,
    testing::Values(
        MalformedCase{"nothing", "", 1, "not a CPUID dump"},
        MalformedCase{"prose", "hello\nworld\n", 1, "not a CPUID dump"},
        MalformedCase{"our own, five words", "kzprobex-cpuid-dump 1\n# x\n00000001 0 1 2 3\n", 3,
                      "six hexadecimal words"},
        MalformedCase{"our own, not hexadecimal", "kzprobex-cpuid-dump 1\n1 0 1 2 3 0000000g\n", 2,
                      "six hexadecimal words"},
        MalformedCase{"our own, a word of nine digits",
                      "kzprobex-cpuid-dump 1\n1 0 1 2 3 100000000\n", 2, "six hexadecimal words"},
        MalformedCase{"our own, the header alone", "kzprobex-cpuid-dump 1\n", 1, "no CPUID leaves"},
        MalformedCase{"our own, a leaf twice",
                      "kzprobex-cpuid-dump 1\n1 0 1 2 3 4\n\n1 0 1 2 3 5\n", 4,
                      "recorded on line 2 with other values"},
        MalformedCase{"our own, more leaves than the model holds", OwnWithRecords(300),
                      CpuidModel::kCapacity + 2, "more than the model holds"},
        MalformedCase{"libcpuid, three words",
                      "basic_cpuid[0]=00000001 68747541 444d4163 69746e65\n"
                      "basic_cpuid[1]=00000580 00000000 00000000\n",
                      2, "expected a libcpuid row"},
        MalformedCase{"libcpuid, an unknown table",
                      "basic_cpuid[0]=00000001 68747541 444d4163 69746e65\n"
                      "intel_fn99[0]=00000000 00000000 00000000 00000000\n",
                      2, "unknown libcpuid table 'intel_fn99'"},
        MalformedCase{"libcpuid, an index that is no number",
                      "basic_cpuid[x]=00000001 68747541 444d4163 69746e65\n", 1,
                      "expected a libcpuid row"},
        MalformedCase{"a listing, three registers",
                      "------[ Logical CPU #0 ]------\n"
                      "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
                      "CPUID 00000001: 00000580-00000000-00000000\n",
                      3, "expected CPUID LEAF: EAX-EBX-ECX-EDX"},
        MalformedCase{"a listing, a subleaf that is no number",
                      "CPUID 00000004: 00000001-00000002-00000003-00000004 [SL xy]\n", 1,
                      "expected CPUID LEAF"},
        MalformedCase{"a listing, a subleaf twice with other values",
                      "CPUID 00000004: 00000001-00000002-00000003-00000004 [SL 01]\n"
                      "CPUID 00000004: 00000001-00000002-00000003-00000005 [SL 01]\n",
                      2, "leaf 0x00000004 subleaf 0x00000001 was recorded on line 1"},
        MalformedCase{"a listing without leaves",
                      "------[ Versions ]------\n------[ Logical CPU #0 ]------\nallcpu: Valid\n",
                      2, "no CPUID leaves"},
        // Listings whose trouble lies below a header: the line named is the one at fault.
        MalformedCase{"a listing, a line cut short below the header",
                      "------[ Versions ]------\n\nProgram Version : EVEREST v5.30.1900\n\n"
                      "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
                      "CPUID 00000001: 00000562-00000000\n",
                      6, "the line ends after 2 registers"},
        MalformedCase{"a listing, a bad word among blank-separated registers",
                      "CPUID 00000000 : 00000001 746E6543 736C7561 4872756G\n", 1,
                      "'4872756G' is not a hexadecimal word"},
        MalformedCase{"a listing, the second processor broken",
                      "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n\n"
                      "CPUID 00000000: 00000001-68747541-444D4163-69746E65\n"
                      "CPUID 00000001: 00000580-0000000x-00000000-008001BF\n",
                      4, "'0000000x' is not a hexadecimal word"},
        MalformedCase{"a listing without leaf 0",
                      "CPU Type : AMD K6, 233 MHz\n\n------[ Logical CPU #0 ]------\n"
                      "CPUID 00000001: 00000562-00000000-00000000-008001BF\n",
                      4, "processor 0, listed from this line, has no leaf 0"},
        MalformedCase{"prose after blank lines", "\n\nhello\n", 3, "not a CPUID dump"},
        // The stream header of a default xz file, as libcpuid's larger test files start
        // (tests/amd/zen/amd-epyc-7551p-32-core-processor.test.xz).
        MalformedCase{"a listing compressed with xz",
                      std::string("\xFD\x37zXZ\0\0\x04\xE6\xD6\xB4\x46", 12), 1,
                      "compressed with xz, not text: decompress it first"},
        MalformedCase{"a listing compressed with gzip", std::string("\x1F\x8B\x08\0", 4), 1,
                      "compressed with gzip"},
        MalformedCase{"a listing saved as UTF-16", std::string("\xFF\xFE\x43\0P\0U\0I\0D\0 \0", 14),
                      1, "UTF-16 text"},
        MalformedCase{"cpuid -r, three registers",
                      "CPU 0:\n"
                      "   0x00000000 0x00: eax=0x00000001 ebx=0x68747541 ecx=0x444d4163\n",
                      2, "expected a cpuid -r line"},
        MalformedCase{"cpuid -r, a stray line",
                      "CPU 0:\n"
                      "   0x00000000 0x00: eax=0x00000001 ebx=0x68747541 ecx=0x444d4163 edx=0x0\n"
                      "hello\n",
                      3, "expected a cpuid -r line"},
        MalformedCase{"cpuid -r, registers out of order",
                      "   0x00000000 0x00: ebx=0x00000001 eax=0x68747541 ecx=0x444d4163 edx=0x0\n",
                      1, "expected a cpuid -r line"}));

// Dumps of two processors, leaf 1's EBX giving each one's APIC ID.
struct ProcessorsCase {
    const char* what;
    std::string text;
    uint32_t leaf_1_ebx[2];
    uint32_t second_start_line;  // where the second processor's records begin
};

void PrintTo(const ProcessorsCase& c, std::ostream* out) {
    *out << c.what;
}

// Two processors of InstLatx64's AuthenticAMD0100F21_K10_Barcelona_CPUID.txt, each under
// `heading` with '@' for its number (none: one after the other, a blank line between).
std::string BarcelonaPair(std::string heading, char first = '0') {
    std::string text;
    for (const char* ebx : {"00040800", "01040800"}) {
        const size_t at = heading.find('@');
        if (at != std::string::npos)
            heading[at] = first++;
        text += (heading.empty() ? "\n" : heading + "\n") +
                "CPUID 00000000: 00000005-68747541-444D4163-69746E65\n"
                "CPUID 00000001: 00100F21-" +
                ebx + "-00802009-178BFBFF\n";
        if (at != std::string::npos)
            heading[at] = '@';
    }
    return text;
}

class Processors : public testing::TestWithParam<ProcessorsCase> {};

TEST_P(Processors, EachIsReadAndOneMoreIsRefused) {
    const ProcessorsCase& c = GetParam();
    for (uint32_t processor = 0; processor < 2; processor++) {
        const DumpReading reading = ReadCpuidDump(c.text, processor);
        ASSERT_TRUE(reading.dump.has_value())
            << "line " << reading.error.line << ": " << reading.error.message;
        EXPECT_EQ(reading.dump->processor, processor);
        EXPECT_EQ(reading.dump->processor_count, 2u);
        const auto leaf_1 = std::find_if(reading.dump->records.begin(), reading.dump->records.end(),
                                         [](const CpuidRecord& r) { return r.leaf == 1; });
        ASSERT_NE(leaf_1, reading.dump->records.end());
        EXPECT_EQ(leaf_1->ebx, c.leaf_1_ebx[processor]) << "processor " << processor;
    }
    const DumpReading third = ReadCpuidDump(c.text, 2);
    ASSERT_FALSE(third.dump.has_value());
    EXPECT_EQ(third.error.line, c.second_start_line);
    EXPECT_NE(third.error.message.find("no processor 2: the file lists 2 processors"),
              std::string::npos)
        << third.error.message;
}

constexpr uint32_t kBarcelonaEbx[2] = {0x00040800, 0x01040800};

INSTANTIATE_TEST_SUITE_P(
    Dumps, Processors,
    testing::Values(
        ProcessorsCase{"AIDA64's CPUID Registers / Logical CPU #N",
                       BarcelonaPair("------[ CPUID Registers / Logical CPU #@ ]------"),
                       {kBarcelonaEbx[0], kBarcelonaEbx[1]},
                       5},
        ProcessorsCase{"older EVEREST's CPUID Registers (CPU #N), from 1",
                       BarcelonaPair("CPUID Registers (CPU #@):", '1'),
                       {kBarcelonaEbx[0], kBarcelonaEbx[1]},
                       5},
        ProcessorsCase{"AIDA64's CPU#NNN AffMask",
                       BarcelonaPair("CPU#00@ AffMask: 0x0000000000000001"),
                       {kBarcelonaEbx[0], kBarcelonaEbx[1]},
                       5},
        ProcessorsCase{"no headings, leaf 0 again",
                       BarcelonaPair(""),
                       {kBarcelonaEbx[0], kBarcelonaEbx[1]},
                       5},
        ProcessorsCase{"cpuid -r",
                       "CPU 0:\n"
                       "   0x00000000 0x00: eax=0x00000016 ebx=0x756e6547 ecx=0x6c65746e "
                       "edx=0x49656e69\n"
                       "   0x00000001 0x00: eax=0x000906ea ebx=0x00100800 ecx=0x7ffafbbf "
                       "edx=0xbfebfbff\n"
                       "CPU 1:\n"
                       "   0x00000000 0x00: eax=0x00000016 ebx=0x756e6547 ecx=0x6c65746e "
                       "edx=0x49656e69\n"
                       "   0x00000001 0x00: eax=0x000906ea ebx=0x01100800 ecx=0x7ffafbbf "
                       "edx=0xbfebfbff\n",
                       {0x00100800, 0x01100800},
                       5},
        ProcessorsCase{"libcpuid's raw dump", kTwoProcessorsRaw, {0x00100800, 0x01100800}, 6}));

// A leaf listed again without [SL nn] is the next subleaf of its processor's block.
TEST(Subleaves, CountOnPastOtherLeavesAndAfreshInTheNextProcessor) {
    const std::string leaf_0 = "CPUID 00000000: 0000000A-756E6547-6C65746E-49656E69\n";
    const std::string text = leaf_0 +
                             "CPUID 00000004: 04000121-01C0003F-0000003F-00000000\n"
                             "CPUID 00000005: 00000040-00000040-00000003-00000020\n"
                             "CPUID 00000004: 04000122-01C0003F-0000003F-00000000\n" +
                             leaf_0 + "CPUID 00000004: 04004143-01C0003F-00000FFF-00000000\n";
    const CpuidRecord first[] = {{4, 0, 0x04000121, 0x01c0003f, 0x3f, 0},
                                 {4, 1, 0x04000122, 0x01c0003f, 0x3f, 0}};
    const DumpReading reading = ReadCpuidDump(text);
    ASSERT_TRUE(reading.dump.has_value()) << reading.error.message;
    for (const CpuidRecord& record : first)
        EXPECT_NE(std::find(reading.dump->records.begin(), reading.dump->records.end(), record),
                  reading.dump->records.end());
    const DumpReading second = ReadCpuidDump(text, 1);
    ASSERT_TRUE(second.dump.has_value()) << second.error.message;
    const CpuidRecord afresh = {4, 0, 0x04004143, 0x01c0003f, 0xfff, 0};
    EXPECT_NE(std::find(second.dump->records.begin(), second.dump->records.end(), afresh),
              second.dump->records.end());
}

// The clock rate a dump records: leaf 0x16's base frequency where leaf 0 reaches it, else a
// header line's.
struct ClockCase {
    const char* what;
    std::string text;
    uint32_t khz;
};

void PrintTo(const ClockCase& c, std::ostream* out) {
    *out << c.what;
}

class RecordedClock : public testing::TestWithParam<ClockCase> {};

TEST_P(RecordedClock, IsTheDumpsOwn) {
    const DumpReading reading = ReadCpuidDump(GetParam().text);
    ASSERT_TRUE(reading.dump.has_value())
        << "line " << reading.error.line << ": " << reading.error.message;
    EXPECT_EQ(reading.dump->recorded_clock_khz, GetParam().khz);
}

INSTANTIATE_TEST_SUITE_P(
    Dumps, RecordedClock,
    testing::Values(ClockCase{"leaf 0x16 of a Raptor Lake", kRaptorListing, 2200000},
                    ClockCase{"leaf 0x16 over the header line",
                              "CPU Type : Intel Core i7, 2200 MHz\n"
                              "CPUID 00000000: 00000016-756E6547-6C65746E-49656E69\n"
                              "CPUID 00000016: 00000BB8-00001450-00000064-00000000\n",
                              3000000},
                    // InstLatx64 AuthenticAMD0000514_K5_CPUID.txt
                    ClockCase{
                        "EVEREST's CPU Type, a rating after it",
                        std::string("CPU Type           : AMD K5, 100 MHz PR133\n") + kK62Listing,
                        100000},
                    ClockCase{"a Frequency line with decimals",
                              std::string("Frequency: 240.86MHz\n") + kK62Listing, 240860},
                    // libcpuid's raw dumps hold 32 basic leaves; beyond the highest, the highest's
                    // answer (tests/intel/atom/atom-cedarview-n2800.txt): no clock there.
                    ClockCase{"leaf 0x16 beyond the highest leaf",
                              "basic_cpuid[0]=0000000a 756e6547 6c65746e 49656e69\n"
                              "basic_cpuid[22]=07280203 00000000 00000000 00000503\n",
                              0},
                    ClockCase{"none", kK62Listing, 0}));

TEST(OwnFormat, WritesWhatItReadsBackSortedByLeafAndSubleaf) {
    const std::vector<CpuidRecord> records = {
        {0x80000001, 0, 0x00000680, 0, 0, 0x808009bf},
        {4, 1, 0x04000122, 0x01c0003f, 0x3f, 0},
        {0, 0, 1, 0x68747541, 0x444d4163, 0x69746e65},
        {4, 0, 0x04000121, 0x01c0003f, 0x3f, 0},
    };
    const std::string text = WriteCpuidDump(records, "AMD K6-2\nsecond line");
    EXPECT_EQ(text,
              "kzprobex-cpuid-dump 1\n"
              "# AMD K6-2 second line\n"
              "# leaf    subleaf  eax      ebx      ecx      edx\n"
              "00000000 00000000 00000001 68747541 444d4163 69746e65\n"
              "00000004 00000000 04000121 01c0003f 0000003f 00000000\n"
              "00000004 00000001 04000122 01c0003f 0000003f 00000000\n"
              "80000001 00000000 00000680 00000000 00000000 808009bf\n");
    const DumpReading reading = ReadCpuidDump(text);
    ASSERT_TRUE(reading.dump.has_value()) << reading.error.message;
    EXPECT_EQ(reading.dump->format, DumpFormat::kOwn);
    std::vector<CpuidRecord> sorted = {records[2], records[3], records[1], records[0]};
    EXPECT_EQ(reading.dump->records, sorted);
}

TEST(OwnFormat, ReadsEveryOtherFormatsLeavesBackUnchanged) {
    for (const char* text : {kK62Listing, kConroeListing, kRaptorListing, kBrazosRaw, kLinux}) {
        const DumpReading first = ReadCpuidDump(text);
        ASSERT_TRUE(first.dump.has_value()) << first.error.message;
        const DumpReading again = ReadCpuidDump(WriteCpuidDump(first.dump->records, ""));
        ASSERT_TRUE(again.dump.has_value()) << again.error.message;
        EXPECT_EQ(again.dump->records.size(), first.dump->records.size());
        for (const CpuidRecord& record : first.dump->records) {
            EXPECT_NE(std::find(again.dump->records.begin(), again.dump->records.end(), record),
                      again.dump->records.end());
        }
    }
}

}  // namespace
}  // namespace qel::virtual_cpu
