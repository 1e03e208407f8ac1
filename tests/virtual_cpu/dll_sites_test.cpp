// The decoder over the built KZPROBEX.dll: every instruction boundary and every CPUID and
// RDTSC site it finds in the code sections is where objdump's listing of the DLL puts them,
// and a damaged code section is refused at the damage.
#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "host/loader/pe_headers.h"
#include "host/virtual_cpu/code_sections.h"
#include "tests/support/dll_file.h"

namespace qel::virtual_cpu {
namespace {

constexpr uint32_t kCodeSection = 0x00000020;        // IMAGE_SCN_CNT_CODE
constexpr uint32_t kExecutableSection = 0x20000000;  // IMAGE_SCN_MEM_EXECUTE

struct DllCode {
    std::vector<CodeSection> sections;
};

// The DLL's executable sections, as the loader will hand them over: each section's file
// data, cut to its virtual size.
DllCode CodeSectionsOf(const host_test::Bytes& file) {
    DllCode code;
    for (const qel::Section& section : host_test::DllHeaders().sections) {
        if ((section.characteristics & (kCodeSection | kExecutableSection)) == 0)
            continue;
        const uint32_t size = std::min(section.virtual_size, section.raw_size);
        code.sections.push_back({section.name, section.virtual_address,
                                 std::span(file).subspan(section.raw_offset, size)});
    }
    return code;
}

// What objdump lists for a DLL's .text: each instruction's RVA and mnemonic.
std::map<uint32_t, std::string> ObjdumpInstructions(const std::string& dll, uint32_t image_base) {
    std::map<uint32_t, std::string> listed;
    const std::string command =
        std::string(MINGW_OBJDUMP) + " -d -z -j .text " + dll + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return listed;
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        // "63981000:\t55                   \tpush   %ebp"; lines with no mnemonic continue
        // the bytes of the line before.
        unsigned address = 0;
        char bytes[128], mnemonic[64];
        if (sscanf(line, " %x:\t%127[^\t]\t%63s", &address, bytes, mnemonic) == 3)
            listed[address - image_base] = mnemonic;
    }
    pclose(pipe);
    return listed;
}

TEST(DllSites, EveryInstructionAndSiteIsWhereObjdumpListsIt) {
    const host_test::Bytes& file = host_test::DllBytes();
    const DllCode code = CodeSectionsOf(file);
    ASSERT_EQ(code.sections.size(), 1u) << "the DLL's code is in .text alone";
    const CodeSection& text = code.sections[0];
    const std::map<uint32_t, std::string> listed =
        ObjdumpInstructions(KZPROBEX_DLL_PATH, host_test::DllHeaders().image_base);
    ASSERT_GT(listed.size(), 1000u) << "objdump listed too little of " << KZPROBEX_DLL_PATH;

    // Objdump's listing has the constructor lists at the end of .text as instructions of its
    // own reading; the code ends before them.
    const uint32_t code_length = CodeLength(text.bytes);
    ASSERT_LT(code_length, text.bytes.size());
    std::vector<uint32_t> decoded_boundaries, listed_boundaries;
    std::vector<std::pair<uint32_t, std::string>> listed_sites;
    for (const auto& [rva, mnemonic] : listed) {
        if (rva - text.rva >= code_length)
            continue;
        listed_boundaries.push_back(rva);
        if (mnemonic == "cpuid" || mnemonic == "rdtsc")
            listed_sites.emplace_back(rva, mnemonic);
    }
    for (uint32_t at = 0; at < code_length;) {
        const Instruction instruction = DecodeInstruction(text.bytes.first(code_length), at);
        ASSERT_EQ(instruction.refusal, Refusal::kNone)
            << RefusalText(instruction.refusal) << " at .text+0x" << std::hex << at;
        decoded_boundaries.push_back(text.rva + at);
        at += instruction.length;
    }
    EXPECT_EQ(decoded_boundaries, listed_boundaries);

    const ImageSites found = FindImageSites(code.sections);
    ASSERT_TRUE(found.clean()) << RefusalText(found.refusal) << " at 0x" << std::hex
                               << found.refused_offset;
    std::vector<std::pair<uint32_t, std::string>> found_sites;
    for (const SectionSite& site : found.Sites()) {
        EXPECT_EQ(site.rva, text.rva + site.offset);
        found_sites.emplace_back(site.rva, site.kind == SiteKind::kCpuid ? "cpuid" : "rdtsc");
    }
    EXPECT_EQ(found_sites, listed_sites);
    // One CPUID and one RDTSC, each in the one function that executes it.
    EXPECT_EQ(found_sites.size(), 2u);
}

TEST(DllSites, ADamagedCodeSectionIsRefusedAtTheDamage) {
    host_test::Bytes file = host_test::DllBytes();
    const DllCode intact = CodeSectionsOf(file);
    ASSERT_EQ(intact.sections.size(), 1u);
    const ImageSites sites = FindImageSites(intact.sections);
    ASSERT_TRUE(sites.clean());
    ASSERT_GT(sites.count, 0u);
    // SYSCALL (no 80386 instruction) over the first instruction ahead of the first site:
    // decoding stops there, before the site, whatever follows.
    const uint32_t first_site = sites.sites[0].offset;
    uint32_t damaged = 0;
    for (uint32_t at = 0; at < first_site;) {
        damaged = at;
        at += DecodeInstruction(intact.sections[0].bytes, at).length;
    }
    const uint32_t file_offset = host_test::DllHeaders().sections[0].raw_offset + damaged;
    file[file_offset] = 0x0f;
    file[file_offset + 1] = 0x05;
    const ImageSites refused = FindImageSites(CodeSectionsOf(file).sections);
    EXPECT_EQ(refused.refusal, Refusal::kNot80386);
    EXPECT_EQ(refused.refused_section, 0u);
    EXPECT_EQ(refused.refused_offset, damaged);
    EXPECT_EQ(refused.count, 0u);
}

#ifdef KZPROBEX_I686_DLL_PATH
TEST(DllSites, TheP6BuildIsRefusedAtItsFirstP6Instruction) {
    std::ifstream stream(KZPROBEX_I686_DLL_PATH, std::ios::binary);
    const host_test::Bytes file{std::istreambuf_iterator<char>(stream), {}};
    qel::PeHeaders headers;
    qel::LoadFailure failure;
    ASSERT_TRUE(qel::ParsePeHeaders(file, &headers, &failure)) << failure.detail.c_str();
    const qel::Section& text = headers.sections.at(0);
    ASSERT_STREQ(text.name, ".text");
    const CodeSection section{text.name, text.virtual_address,
                              std::span(file).subspan(text.raw_offset, text.virtual_size)};
    const ImageSites found = FindImageSites(std::span(&section, 1));
    ASSERT_EQ(found.refusal, Refusal::kNot80386);
    const std::map<uint32_t, std::string> listed =
        ObjdumpInstructions(KZPROBEX_I686_DLL_PATH, headers.image_base);
    const auto refused = listed.find(text.virtual_address + found.refused_offset);
    ASSERT_NE(refused, listed.end()) << "refused inside an instruction";
    // The P6 build's first newer instruction: a multi-byte NOP in padding, or a CMOVcc.
    const std::string& mnemonic = refused->second;
    EXPECT_TRUE(mnemonic == "nopw" || mnemonic == "nopl" || mnemonic.rfind("cmov", 0) == 0)
        << mnemonic;
    for (auto before = listed.begin(); before != refused; ++before) {
        EXPECT_TRUE(before->second != "nopw" && before->second != "nopl" &&
                    before->second.rfind("cmov", 0) != 0)
            << "a P6 instruction before the refusal at 0x" << std::hex << before->first;
    }
}
#endif

struct PaddingCase {
    const char* what;
    std::vector<uint8_t> bytes;
    uint32_t code_length;
    Refusal refusal;
};

void PrintTo(const PaddingCase& c, std::ostream* out) {
    *out << c.what;
}

class SectionEnds : public testing::TestWithParam<PaddingCase> {};

TEST_P(SectionEnds, LeaveOutTheListsAndTheZeroFill) {
    const PaddingCase& c = GetParam();
    EXPECT_EQ(CodeLength(c.bytes), c.code_length);
    const CodeSection section{".text", 0x1000, c.bytes};
    EXPECT_EQ(FindImageSites(std::span(&section, 1)).refusal, c.refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Code, SectionEnds,
    testing::Values(
        PaddingCase{"code alone", {0x90, 0xc3}, 2, Refusal::kNone},
        PaddingCase{"an odd zero fill after the code", {0xc3, 0, 0, 0}, 4, Refusal::kNone},
        PaddingCase{
            "the empty constructor and destructor lists",
            {0xc3, 0x90, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0},
            2,
            Refusal::kNone},
        PaddingCase{
            "the lists and the file's zero fill",
            {0xc3, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0},
            1,
            Refusal::kNone},
        PaddingCase{"one list is not the pair",
                    {0xc3, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0},
                    9,
                    Refusal::kNot80386},
        PaddingCase{"code cut short before zeros", {0xc3, 0x8b, 0x45}, 3, Refusal::kPastTheEnd}));

}  // namespace
}  // namespace qel::virtual_cpu
