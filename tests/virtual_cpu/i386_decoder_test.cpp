// The 80386 decoder over hand-written instructions: the length of each class of instruction
// with its prefixes and addressing forms, the refusal of newer opcodes and of code cut short,
// and where the CPUID and RDTSC sites lie.
#include "host/virtual_cpu/i386_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qel::virtual_cpu {
namespace {

using Bytes = std::vector<uint8_t>;

struct InstructionCase {
    const char* what;
    Bytes bytes;
    uint32_t length;  // 0: refused
    Refusal refusal = Refusal::kNone;
};

void PrintTo(const InstructionCase& c, std::ostream* out) {
    *out << c.what;
}

class Instructions : public testing::TestWithParam<InstructionCase> {};

TEST_P(Instructions, DecodeToTheirLengthOrAreRefused) {
    const InstructionCase& c = GetParam();
    const Instruction instruction = DecodeInstruction(c.bytes, 0);
    EXPECT_EQ(instruction.refusal, c.refusal) << RefusalText(instruction.refusal);
    EXPECT_EQ(instruction.length, c.length);
}

Bytes Repeated(uint8_t byte, size_t count, Bytes tail) {
    Bytes bytes(count, byte);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Instructions,
    testing::Values(
        InstructionCase{"nop", {0x90}, 1}, InstructionCase{"push ebp", {0x55}, 1},
        InstructionCase{"mov ebp,esp", {0x89, 0xe5}, 2},
        InstructionCase{"mov eax,[ebp+8]", {0x8b, 0x45, 0x08}, 3},
        InstructionCase{"mov eax,[ebp+256]", {0x8b, 0x85, 0x00, 0x01, 0, 0}, 6},
        InstructionCase{"mov eax,[abs32]", {0x8b, 0x05, 0x78, 0x56, 0x34, 0x12}, 6},
        InstructionCase{"mov eax,[esp] (SIB)", {0x8b, 0x04, 0x24}, 3},
        InstructionCase{"mov eax,[abs32+ecx*4] (SIB, no base)", {0x8b, 0x04, 0x8d, 1, 2, 3, 4}, 7},
        InstructionCase{"lea-nop 8d 76 00", {0x8d, 0x76, 0x00}, 3},
        InstructionCase{"lea-nop 8d 74 26 00", {0x8d, 0x74, 0x26, 0x00}, 4},
        InstructionCase{"lea-nop 8d b4 26 00 00 00 00", {0x8d, 0xb4, 0x26, 0, 0, 0, 0}, 7},
        InstructionCase{"mov ax,[ebp+8] (66)", {0x66, 0x8b, 0x45, 0x08}, 4},
        InstructionCase{"mov eax,[bp+8] (67)", {0x67, 0x8b, 0x46, 0x08}, 4},
        InstructionCase{"mov eax,[abs16] (67)", {0x67, 0x8b, 0x06, 0x34, 0x12}, 5},
        InstructionCase{"mov eax,[bx+si] (67)", {0x67, 0x8b, 0x00}, 3},
        InstructionCase{"mov eax,imm32", {0xb8, 1, 2, 3, 4}, 5},
        InstructionCase{"mov ax,imm16 (66)", {0x66, 0xb8, 1, 2}, 4},
        InstructionCase{"mov al,imm8", {0xb0, 1}, 2},
        InstructionCase{"add eax,imm32", {0x05, 1, 2, 3, 4}, 5},
        InstructionCase{"push imm32", {0x68, 1, 2, 3, 4}, 5},
        InstructionCase{"push imm16 (66)", {0x66, 0x68, 1, 2}, 4},
        InstructionCase{"push imm8", {0x6a, 1}, 2},
        InstructionCase{"imul eax,eax,imm32", {0x69, 0xc0, 1, 2, 3, 4}, 6},
        InstructionCase{"imul eax,eax,imm8", {0x6b, 0xc0, 1}, 3},
        InstructionCase{"cmp dword [ebp+8],imm32", {0x81, 0x7d, 0x08, 1, 2, 3, 4}, 7},
        InstructionCase{"sub esp,imm8", {0x83, 0xec, 0x10}, 3},
        InstructionCase{"mov dword [ebp-4],imm32", {0xc7, 0x45, 0xfc, 1, 0, 0, 0}, 7},
        InstructionCase{"mov word [ebp-4],imm16 (66)", {0x66, 0xc7, 0x45, 0xfc, 1, 0}, 6},
        InstructionCase{"mov byte [ebp-1],imm8", {0xc6, 0x45, 0xff, 1}, 4},
        InstructionCase{"test byte [ebp-1],imm8", {0xf6, 0x45, 0xff, 1}, 4},
        InstructionCase{"test ecx,imm32", {0xf7, 0xc1, 1, 2, 3, 4}, 6},
        InstructionCase{"neg al (F6 /3, no immediate)", {0xf6, 0xd8}, 2},
        InstructionCase{"div ecx", {0xf7, 0xf1}, 2},
        InstructionCase{"shl eax,imm8", {0xc1, 0xe0, 4}, 3},
        InstructionCase{"shr eax,cl", {0xd3, 0xe8}, 2},
        InstructionCase{"call rel32", {0xe8, 1, 2, 3, 4}, 5},
        InstructionCase{"jmp rel8", {0xeb, 0xfe}, 2}, InstructionCase{"je rel8", {0x74, 0x05}, 2},
        InstructionCase{"je rel32", {0x0f, 0x84, 1, 2, 3, 4}, 6},
        InstructionCase{"je rel16 (66)", {0x66, 0x0f, 0x84, 1, 2}, 5},
        InstructionCase{"loop rel8", {0xe2, 0xfe}, 2},
        InstructionCase{"ret imm16", {0xc2, 0x08, 0x00}, 3}, InstructionCase{"ret", {0xc3}, 1},
        InstructionCase{"enter imm16,imm8", {0xc8, 0x10, 0x00, 0x00}, 4},
        InstructionCase{"call far ptr16:32", {0x9a, 1, 2, 3, 4, 8, 0}, 7},
        InstructionCase{"call far ptr16:16 (66)", {0x66, 0x9a, 1, 2, 8, 0}, 6},
        InstructionCase{"call dword [eax] (FF /2)", {0xff, 0x10}, 2},
        InstructionCase{"call far [eax] (FF /3)", {0xff, 0x18}, 2},
        InstructionCase{"mov eax,[moffs32]", {0xa1, 1, 2, 3, 4}, 5},
        InstructionCase{"mov eax,[moffs16] (67)", {0x67, 0xa1, 1, 2}, 4},
        InstructionCase{"mov eax,fs:[0]", {0x64, 0xa1, 0, 0, 0, 0}, 6},
        InstructionCase{"mov eax,cs:[eax]", {0x2e, 0x8b, 0x00}, 3},
        InstructionCase{"rep movsd", {0xf3, 0xa5}, 2},
        InstructionCase{"repne scasb", {0xf2, 0xae}, 2},
        InstructionCase{"lock bts [eax],ecx", {0xf0, 0x0f, 0xab, 0x08}, 4},
        InstructionCase{"pushfw (66)", {0x66, 0x9c}, 2},
        InstructionCase{"movzx eax,byte [ebp+8]", {0x0f, 0xb6, 0x45, 0x08}, 4},
        InstructionCase{"movsx eax,ax", {0x0f, 0xbf, 0xc0}, 3},
        InstructionCase{"shld edx,eax,imm8", {0x0f, 0xa4, 0xc2, 4}, 4},
        InstructionCase{"shrd edx,eax,cl", {0x0f, 0xad, 0xc2}, 3},
        InstructionCase{"bt eax,imm8", {0x0f, 0xba, 0xe0, 5}, 4},
        InstructionCase{"bsf eax,ecx", {0x0f, 0xbc, 0xc1}, 3},
        InstructionCase{"sete al", {0x0f, 0x94, 0xc0}, 3},
        InstructionCase{"push fs", {0x0f, 0xa0}, 2},
        InstructionCase{"lss esp,[eax]", {0x0f, 0xb2, 0x20}, 3},
        InstructionCase{"mov eax,cr0", {0x0f, 0x20, 0xc0}, 3},
        InstructionCase{"mov eax,cr0 (mod bits ignored)", {0x0f, 0x20, 0x00}, 3},
        InstructionCase{"smsw eax", {0x0f, 0x01, 0xe0}, 3},
        InstructionCase{"sgdt [eax]", {0x0f, 0x01, 0x00}, 3},
        InstructionCase{"str eax", {0x0f, 0x00, 0xc8}, 3},
        InstructionCase{"int 0x2e", {0xcd, 0x2e}, 2}, InstructionCase{"aam", {0xd4, 0x0a}, 2},
        InstructionCase{"fldz", {0xd9, 0xee}, 2}, InstructionCase{"fnop", {0xd9, 0xd0}, 2},
        InstructionCase{"fld qword [ebp+8]", {0xdd, 0x45, 0x08}, 3},
        InstructionCase{"fnstcw [ebp-2]", {0xd9, 0x7d, 0xfe}, 3},
        InstructionCase{"fnstsw ax", {0xdf, 0xe0}, 2}, InstructionCase{"fmulp", {0xde, 0xc9}, 2},
        InstructionCase{"fcompp", {0xde, 0xd9}, 2}, InstructionCase{"fucompp", {0xda, 0xe9}, 2},
        InstructionCase{"fninit", {0xdb, 0xe3}, 2},
        InstructionCase{"fld tbyte [eax]", {0xdb, 0x28}, 2},
        InstructionCase{"fistp qword [eax]", {0xdf, 0x38}, 2},
        InstructionCase{"cpuid", {0x0f, 0xa2}, 2}, InstructionCase{"rdtsc", {0x0f, 0x31}, 2},
        InstructionCase{"ud2, a deliberate fault on every processor", {0x0f, 0x0b}, 2},
        InstructionCase{"fourteen prefixes and a nop: 15 bytes", Repeated(0x66, 14, {0x90}), 15}));

INSTANTIATE_TEST_SUITE_P(
    Refusals, Instructions,
    testing::Values(
        InstructionCase{"cmovz (P6)", {0x0f, 0x44, 0xc1}, 0, Refusal::kNot80386},
        InstructionCase{"syscall (K6 on)", {0x0f, 0x05}, 0, Refusal::kNot80386},
        InstructionCase{"multi-byte nop (P6)", {0x0f, 0x1f, 0x00}, 0, Refusal::kNot80386},
        InstructionCase{"bswap (486)", {0x0f, 0xc8}, 0, Refusal::kNot80386},
        InstructionCase{"cmpxchg (486)", {0x0f, 0xb1, 0x0a}, 0, Refusal::kNot80386},
        InstructionCase{"xadd (486)", {0x0f, 0xc1, 0xc8}, 0, Refusal::kNot80386},
        InstructionCase{"invlpg (486)", {0x0f, 0x01, 0x38}, 0, Refusal::kNot80386},
        InstructionCase{"wbinvd (486)", {0x0f, 0x09}, 0, Refusal::kNot80386},
        InstructionCase{"rdmsr (Pentium)", {0x0f, 0x32}, 0, Refusal::kNot80386},
        InstructionCase{"cmpxchg8b (Pentium)", {0x0f, 0xc7, 0x08}, 0, Refusal::kNot80386},
        InstructionCase{"sysenter", {0x0f, 0x34}, 0, Refusal::kNot80386},
        InstructionCase{"movups (SSE)", {0x0f, 0x10, 0xc1}, 0, Refusal::kNot80386},
        InstructionCase{"emms (MMX)", {0x0f, 0x77}, 0, Refusal::kNot80386},
        InstructionCase{"fxsave", {0x0f, 0xae, 0x00}, 0, Refusal::kNot80386},
        InstructionCase{"fcmovb (P6)", {0xda, 0xc1}, 0, Refusal::kNot80386},
        InstructionCase{"fcmovnb (P6)", {0xdb, 0xc1}, 0, Refusal::kNot80386},
        InstructionCase{"fucomi (P6)", {0xdb, 0xe9}, 0, Refusal::kNot80386},
        InstructionCase{"fucomip (P6)", {0xdf, 0xe9}, 0, Refusal::kNot80386},
        InstructionCase{"fisttp (SSE3)", {0xdd, 0x08}, 0, Refusal::kNot80386},
        InstructionCase{"FF /7", {0xff, 0xff}, 0, Refusal::kNot80386},
        InstructionCase{"far call to a register", {0xff, 0xd8}, 0, Refusal::kNot80386},
        InstructionCase{"pop with reg 1 (8F /1)", {0x8f, 0xc8}, 0, Refusal::kNot80386},
        InstructionCase{"FE /2", {0xfe, 0xd0}, 0, Refusal::kNot80386},
        InstructionCase{"mov with reg 1 (C6 /1)", {0xc6, 0xc8, 1}, 0, Refusal::kNot80386},
        InstructionCase{"lea from a register", {0x8d, 0xc0}, 0, Refusal::kNot80386},
        InstructionCase{"mov cs,ax", {0x8e, 0xc8}, 0, Refusal::kNot80386},
        InstructionCase{"salc (undocumented)", {0xd6}, 0, Refusal::kNot80386},
        InstructionCase{"icebp (undocumented)", {0xf1}, 0, Refusal::kNot80386},
        InstructionCase{"cut after the opcode", {0x8b}, 0, Refusal::kPastTheEnd},
        InstructionCase{"cut in the displacement", {0x8b, 0x45}, 0, Refusal::kPastTheEnd},
        InstructionCase{"cut before the SIB byte", {0x8b, 0x04}, 0, Refusal::kPastTheEnd},
        InstructionCase{"cut in the immediate", {0xc7, 0x45, 0xfc, 1, 0}, 0, Refusal::kPastTheEnd},
        InstructionCase{"cut in a rel32", {0x0f, 0x84, 1, 2, 3}, 0, Refusal::kPastTheEnd},
        InstructionCase{"cut after 0F", {0x0f}, 0, Refusal::kPastTheEnd},
        InstructionCase{"a prefix alone", {0x66}, 0, Refusal::kPastTheEnd},
        InstructionCase{"fifteen prefixes", Repeated(0x66, 15, {0x90}), 0, Refusal::kTooLong},
        InstructionCase{"prefixes and a long instruction past 15 bytes",
                        Repeated(0x2e, 6, {0x81, 0x84, 0x24, 1, 2, 3, 4, 1, 2, 3, 4}), 0,
                        Refusal::kTooLong}));

struct SitesCase {
    const char* what;
    Bytes code;
    uint32_t start;
    std::vector<Site> sites;
    Refusal refusal = Refusal::kNone;
    uint32_t refused_at = 0;
};

void PrintTo(const SitesCase& c, std::ostream* out) {
    *out << c.what;
}

class Sites : public testing::TestWithParam<SitesCase> {};

TEST_P(Sites, AreFoundByDecodingFromTheStart) {
    const SitesCase& c = GetParam();
    const Decoding decoding = DecodeSites(c.code, c.start);
    EXPECT_EQ(decoding.refusal, c.refusal) << RefusalText(decoding.refusal);
    if (c.refusal != Refusal::kNone) {
        EXPECT_EQ(decoding.refused_at, c.refused_at);
    }
    EXPECT_EQ(std::vector<Site>(decoding.Sites().begin(), decoding.Sites().end()), c.sites);
}

constexpr SiteKind kCpuid = SiteKind::kCpuid, kRdtsc = SiteKind::kRdtsc;

INSTANTIATE_TEST_SUITE_P(
    Code, Sites,
    testing::Values(
        SitesCase{"no sites", {0x55, 0x89, 0xe5, 0x5d, 0xc3}, 0, {}},
        SitesCase{"cpuid and rdtsc",
                  {0x53, 0x0f, 0xa2, 0x5b, 0x0f, 0x31, 0xc3},
                  0,
                  {{1, kCpuid}, {4, kRdtsc}}},
        // mov eax,0x00a20f00 and a displacement of 0x310f hold the bytes, not the instructions.
        SitesCase{"the bytes inside an immediate and a displacement are no site",
                  {0xb8, 0x00, 0x0f, 0xa2, 0x00, 0x8b, 0x80, 0x0f, 0x31, 0, 0, 0x0f, 0xa2, 0xc3},
                  0,
                  {{11, kCpuid}}},
        SitesCase{"a prefixed site is reported at its prefix",
                  {0x90, 0x3e, 0x0f, 0x31},
                  0,
                  {{1, kRdtsc}}},
        SitesCase{"decoding starts at the start given", {0xff, 0xff, 0x0f, 0xa2}, 2, {{2, kCpuid}}},
        SitesCase{"a planted ud2 is decoded past",
                  {0x90, 0x0f, 0xa2, 0x0f, 0x0b, 0x0f, 0x31},
                  0,
                  {{1, kCpuid}, {5, kRdtsc}}},
        SitesCase{"a syscall is refused at its offset",
                  {0x90, 0x0f, 0xa2, 0x0f, 0x05, 0x0f, 0x31},
                  0,
                  {{1, kCpuid}},
                  Refusal::kNot80386,
                  3},
        SitesCase{"a cmov is refused at its offset",
                  {0x90, 0x90, 0x0f, 0x44, 0xc1, 0xc3},
                  0,
                  {},
                  Refusal::kNot80386,
                  2},
        SitesCase{"code that ends inside an instruction",
                  {0x0f, 0xa2, 0xe8, 0, 0},
                  0,
                  {{0, kCpuid}},
                  Refusal::kPastTheEnd,
                  2}));

TEST(Sites, MoreThanTheModelServesAreRefused) {
    Bytes code;
    for (uint32_t i = 0; i <= kMaxSites; i++)
        code.insert(code.end(), {0x0f, 0xa2});
    const Decoding decoding = DecodeSites(code, 0);
    EXPECT_EQ(decoding.refusal, Refusal::kTooManySites);
    EXPECT_EQ(decoding.refused_at, 2 * kMaxSites);
    EXPECT_EQ(decoding.site_count, kMaxSites);
}

}  // namespace
}  // namespace qel::virtual_cpu
