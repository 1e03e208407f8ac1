#include "host/virtual_cpu/i386_decoder.h"

namespace qel::virtual_cpu {

namespace {

// What follows an opcode, one character an opcode, sixteen to a row:
//   .  nothing            m  ModRM                 b  Ib or rel8        z  Iz or rel16/32
//   M  ModRM, then Ib     Z  ModRM, then Iz        w  Iw                e  Iw, Ib (ENTER)
//   f  far pointer        o  moffs                 t  ModRM, Ib for /0  T  ModRM, Iz for /0
//   p  prefix or 0F, taken before                  x  not an 80386 instruction
// Iz is 4 bytes, 2 under the operand-size prefix; moffs 4, 2 under the address-size prefix.
constexpr char kOneByteMap[] =
    // 0123456789abcdef
    "mmmmbz..mmmmbz.p"   // 0x  ALU, PUSH/POP ES CS
    "mmmmbz..mmmmbz.."   // 1x
    "mmmmbzp.mmmmbzp."   // 2x  ES: CS: prefixes, DAA, DAS
    "mmmmbzp.mmmmbzp."   // 3x  SS: DS:, AAA, AAS
    "................"   // 4x  INC, DEC
    "................"   // 5x  PUSH, POP
    "..mmppppzZbM...."   // 6x  PUSHA, POPA, BOUND, ARPL, FS: GS: 66 67, PUSH, IMUL, INS, OUTS
    "bbbbbbbbbbbbbbbb"   // 7x  Jcc rel8
    "MZMMmmmmmmmmmmmm"   // 8x  groups 1, TEST, XCHG, MOV, LEA, POP Ev
    "..........f....."   // 9x  XCHG, CBW, CWD, CALL far, WAIT, PUSHF, POPF, SAHF, LAHF
    "oooo....bz......"   // Ax  MOV moffs, MOVS, CMPS, TEST, STOS, LODS, SCAS
    "bbbbbbbbzzzzzzzz"   // Bx  MOV imm
    "MMw.mmMZe.w..b.."   // Cx  shifts, RET, LES, LDS, MOV imm, ENTER, LEAVE, RETF, INT3, INT
    "mmmmbbx.mmmmmmmm"   // Dx  shifts, AAM, AAD, XLAT, x87 escapes; D6 SALC undocumented
    "bbbbbbbbzzfb...."   // Ex  LOOP, JCXZ, IN, OUT, CALL, JMP
    "pxpp..tT......mm";  // Fx  LOCK, REPs, HLT, CMC, group 3, flags, groups 4 and 5; F1 ICEBP

// The 80386's 0F opcodes. CPUID (A2) and RDTSC (31) are the sites, taken before. UD2 (0B)
// is in: it faults on every processor, the 80386 included, so code that plants one (a
// deliberate fault) decodes on after it. Left out: the 486's INVD, WBINVD, INVLPG, CMPXCHG,
// XADD and BSWAP, the early steppings' XBTS and IBTS, and everything newer.
constexpr char kTwoByteMap[] =
    // 0123456789abcdef
    "mmmmxx.xxxx.xxxx"   // 0x  groups 6 and 7, LAR, LSL, CLTS, UD2
    "xxxxxxxxxxxxxxxx"   // 1x
    "mmmmmxmxxxxxxxxx"   // 2x  MOV to and from CRn, DRn, TRn
    "xxxxxxxxxxxxxxxx"   // 3x
    "xxxxxxxxxxxxxxxx"   // 4x
    "xxxxxxxxxxxxxxxx"   // 5x
    "xxxxxxxxxxxxxxxx"   // 6x
    "xxxxxxxxxxxxxxxx"   // 7x
    "zzzzzzzzzzzzzzzz"   // 8x  Jcc rel16/32
    "mmmmmmmmmmmmmmmm"   // 9x  SETcc
    "..xmMmxx..xmMmxm"   // Ax  PUSH/POP FS GS, BT, SHLD, BTS, SHRD, IMUL
    "xxmmmmmmxxMmmmmm"   // Bx  LSS, BTR, LFS, LGS, MOVZX, group 8, BTC, BSF, BSR, MOVSX
    "xxxxxxxxxxxxxxxx"   // Cx
    "xxxxxxxxxxxxxxxx"   // Dx
    "xxxxxxxxxxxxxxxx"   // Ex
    "xxxxxxxxxxxxxxxx";  // Fx

static_assert(sizeof(kOneByteMap) == 257 && sizeof(kTwoByteMap) == 257);

// The reg fields an opcode with a ModRM byte defines, bit r for /r: with a memory operand,
// and with a register one. Opcodes not listed take every form.
struct Forms {
    bool two_byte;
    uint8_t op;
    uint8_t memory_regs, register_regs;
};
constexpr Forms kGroupForms[] = {
    {false, 0x62, 0xff, 0x00},  // BOUND: memory only
    {false, 0x8c, 0x3f, 0x3f},  // MOV Ew,Sreg: ES to GS
    {false, 0x8d, 0xff, 0x00},  // LEA: memory only
    {false, 0x8e, 0x3d, 0x3d},  // MOV Sreg,Ew: not CS
    {false, 0x8f, 0x01, 0x01},  // POP Ev: /0
    {false, 0xc0, 0xbf, 0xbf},  // shifts: /6 is undocumented
    {false, 0xc1, 0xbf, 0xbf}, {false, 0xd0, 0xbf, 0xbf},
    {false, 0xd1, 0xbf, 0xbf}, {false, 0xd2, 0xbf, 0xbf},
    {false, 0xd3, 0xbf, 0xbf}, {false, 0xc4, 0xff, 0x00},  // LES, LDS: memory only
    {false, 0xc5, 0xff, 0x00}, {false, 0xc6, 0x01, 0x01},  // MOV Eb,Ib and Ev,Iz: /0
    {false, 0xc7, 0x01, 0x01}, {false, 0xf6, 0xfd, 0xfd},  // group 3: /1 is undocumented
    {false, 0xf7, 0xfd, 0xfd}, {false, 0xfe, 0x03, 0x03},  // group 4: INC, DEC
    {false, 0xff, 0x7f, 0x57},  // group 5: far CALL and JMP (/3, /5) from memory only
    {true, 0x00, 0x3f, 0x3f},   // group 6
    {true, 0x01, 0x5f, 0x50},   // group 7: no /5, no INVLPG; SMSW, LMSW alone on registers
    {true, 0xb2, 0xff, 0x00},   // LSS, LFS, LGS: memory only
    {true, 0xb4, 0xff, 0x00},  {true, 0xb5, 0xff, 0x00},
    {true, 0xba, 0xf0, 0xf0},  // group 8: BT, BTS, BTR, BTC
};

// The 387's forms of each escape D8 to DF, bit r for /r with a memory operand, and bit rm
// for each /r with a register one. Out: the P6's FCMOVcc, FCOMI and FUCOMI, SSE3's FISTTP,
// and the undocumented aliases.
constexpr uint8_t kX87MemoryRegs[8] = {0xff, 0xfd, 0xff, 0xad, 0xff, 0xdd, 0xff, 0xfd};
constexpr uint8_t kX87RegisterRms[8][8] = {
    {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},  // D8
    {0xff, 0xff, 0x01, 0x00, 0x33, 0x7f, 0xff, 0xff},  // D9: FNOP; FCHS FABS FTST FXAM
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00},  // DA: FUCOMPP
    {0x00, 0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00},  // DB: FENI FDISI FCLEX FINIT FSETPM
    {0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff},  // DC
    {0xff, 0x00, 0xff, 0xff, 0xff, 0xff, 0x00, 0x00},  // DD
    {0xff, 0xff, 0x00, 0x02, 0xff, 0xff, 0xff, 0xff},  // DE: FCOMPP
    {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00},  // DF: FNSTSW AX
};

constexpr bool IsPrefix(uint8_t byte) {
    return byte == 0x26 || byte == 0x2e || byte == 0x36 || byte == 0x3e || byte == 0x64 ||
           byte == 0x65 || byte == 0x66 || byte == 0x67 || byte == 0xf0 || byte == 0xf2 ||
           byte == 0xf3;
}

bool HasModRm(char shape) {
    return shape == 'm' || shape == 'M' || shape == 'Z' || shape == 't' || shape == 'T';
}

bool ModRmFormValid(bool two_byte, uint8_t op, uint8_t modrm) {
    const uint8_t reg = (modrm >> 3) & 7, rm = modrm & 7;
    const bool memory = (modrm >> 6) != 3;
    if (!two_byte && op >= 0xd8 && op <= 0xdf) {
        const uint8_t escape = op - 0xd8;
        return memory ? (kX87MemoryRegs[escape] >> reg) & 1
                      : (kX87RegisterRms[escape][reg] >> rm) & 1;
    }
    for (const Forms& forms : kGroupForms) {
        if (forms.two_byte == two_byte && forms.op == op)
            return ((memory ? forms.memory_regs : forms.register_regs) >> reg) & 1;
    }
    return true;
}

// Bytes of displacement (and SIB) after a ModRM byte; -1 when a SIB byte lies past the end.
int AddressingBytes(std::span<const uint8_t> code, uint32_t modrm_at, bool address16) {
    const uint8_t modrm = code[modrm_at];
    const uint8_t mod = modrm >> 6, rm = modrm & 7;
    if (mod == 3)
        return 0;
    if (address16) {
        if (mod == 0)
            return rm == 6 ? 2 : 0;
        return mod == 1 ? 1 : 2;
    }
    int bytes = 0;
    uint8_t base = rm;
    if (rm == 4) {
        if (modrm_at + 1 >= code.size())
            return -1;
        bytes = 1;
        base = code[modrm_at + 1] & 7;
    }
    if (mod == 0)
        return bytes + (base == 5 ? 4 : 0);
    return bytes + (mod == 1 ? 1 : 4);
}

uint32_t TrailingBytes(char shape, uint8_t modrm, bool operand16, bool address16) {
    const uint32_t full = operand16 ? 2 : 4;
    const bool reg_zero = ((modrm >> 3) & 7) == 0;
    switch (shape) {
        case 'b':
        case 'M':
            return 1;
        case 'w':
            return 2;
        case 'z':
        case 'Z':
            return full;
        case 'e':
            return 3;
        case 'f':
            return full + 2;
        case 'o':
            return address16 ? 2 : 4;
        case 't':
            return reg_zero ? 1 : 0;
        case 'T':
            return reg_zero ? full : 0;
        default:
            return 0;
    }
}

constexpr uint32_t kLongestInstruction = 15;

Instruction Refused(Refusal refusal) {
    Instruction instruction;
    instruction.refusal = refusal;
    return instruction;
}

}  // namespace

const char* RefusalText(Refusal refusal) {
    switch (refusal) {
        case Refusal::kNone:
            return "decodes cleanly";
        case Refusal::kNot80386:
            return "not an 80386 instruction";
        case Refusal::kPastTheEnd:
            return "an instruction runs past the end of the code";
        case Refusal::kTooLong:
            return "an instruction longer than 15 bytes";
        case Refusal::kTooManySites:
            return "more CPUID and RDTSC instructions than the model serves";
    }
    return "unknown refusal";
}

Instruction DecodeInstruction(std::span<const uint8_t> code, uint32_t offset) {
    const uint64_t end = code.size();
    uint32_t at = offset;
    bool operand16 = false, address16 = false;
    while (at < end && IsPrefix(code[at])) {
        operand16 |= code[at] == 0x66;
        address16 |= code[at] == 0x67;
        if (++at - offset >= kLongestInstruction)
            return Refused(Refusal::kTooLong);
    }
    if (at >= end)
        return Refused(Refusal::kPastTheEnd);
    const bool two_byte = code[at] == 0x0f;
    if (two_byte && ++at >= end)
        return Refused(Refusal::kPastTheEnd);
    const uint8_t op = code[at++];

    Instruction instruction;
    if (two_byte && (op == 0xa2 || op == 0x31)) {
        instruction.length = at - offset;
        instruction.is_site = true;
        instruction.kind = op == 0xa2 ? SiteKind::kCpuid : SiteKind::kRdtsc;
        return instruction;
    }
    const char shape = (two_byte ? kTwoByteMap : kOneByteMap)[op];
    if (shape == 'x' || shape == 'p')
        return Refused(Refusal::kNot80386);
    uint8_t modrm = 0;
    uint64_t length = at - offset;
    if (HasModRm(shape)) {
        if (at >= end)
            return Refused(Refusal::kPastTheEnd);
        modrm = code[at];
        if (!ModRmFormValid(two_byte, op, modrm))
            return Refused(Refusal::kNot80386);
        // MOV to and from the special registers takes a register whatever the mod bits say.
        const bool register_only = two_byte && op >= 0x20 && op <= 0x26;
        const int addressing = register_only ? 0 : AddressingBytes(code, at, address16);
        if (addressing < 0)
            return Refused(Refusal::kPastTheEnd);
        length += 1 + static_cast<uint32_t>(addressing);
    }
    length += TrailingBytes(shape, modrm, operand16, address16);
    if (length > kLongestInstruction)
        return Refused(Refusal::kTooLong);
    if (offset + length > end)
        return Refused(Refusal::kPastTheEnd);
    instruction.length = static_cast<uint32_t>(length);
    return instruction;
}

Decoding DecodeSites(std::span<const uint8_t> code, uint32_t start) {
    Decoding decoding;
    uint64_t at = start;
    while (at < code.size()) {
        const Instruction instruction = DecodeInstruction(code, static_cast<uint32_t>(at));
        Refusal refusal = instruction.refusal;
        if (refusal == Refusal::kNone && instruction.is_site) {
            if (decoding.site_count == kMaxSites) {
                refusal = Refusal::kTooManySites;
            } else {
                decoding.sites[decoding.site_count++] = {static_cast<uint32_t>(at),
                                                         instruction.kind};
            }
        }
        if (refusal != Refusal::kNone) {
            decoding.refusal = refusal;
            decoding.refused_at = static_cast<uint32_t>(at);
            return decoding;
        }
        at += instruction.length;
    }
    return decoding;
}

}  // namespace qel::virtual_cpu
