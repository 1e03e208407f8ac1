// A scripted processor: CPUID answers from the test's fields, and the flags register
// behaves as the chosen class of processor's does.
#include "platform/processor.h"

#include <string.h>

#include "abi/x86_flags.h"
#include "platform/fake/fake_platform.h"

namespace {

using qel_abi::eflags::kAlignmentCheck;
using qel_abi::eflags::kHighNibble16;
using qel_abi::eflags::kId;

uint32_t VendorWord(int offset) {
    uint32_t word;
    memcpy(&word, fake::processor().vendor + offset, 4);
    return word;
}

// What the low 16 bits of the flags register hold after `value` is written into them.
uint16_t Settle16(uint16_t value) {
    const auto& cpu = fake::processor();
    if (!cpu.has_cpuid && cpu.legacy_class == fake::LegacyClass::k8086) {
        return value | kHighNibble16;  // bits 12-15 are always set on an 8086
    }
    if (!cpu.has_cpuid && cpu.legacy_class == fake::LegacyClass::k80286) {
        return value & ~kHighNibble16;  // and always clear on an 80286 in real mode
    }
    return value & 0x7FFF;  // 80386 and later: bit 15 is reserved and reads 0
}

// What the flags register holds after a 32-bit write of `value`.
uint32_t Settle32(uint32_t value) {
    const auto& cpu = fake::processor();
    uint32_t sticky = 0;
    if (!cpu.has_cpuid)
        sticky |= kId;
    if (!cpu.has_cpuid && cpu.legacy_class != fake::LegacyClass::k80486) {
        sticky |= kAlignmentCheck;
    }
    uint32_t high = ((cpu.eflags & sticky) | (value & ~sticky)) & 0xFFFF0000;
    return high | Settle16(static_cast<uint16_t>(value));
}

// The flags register as the processor shows it: what the class cannot hold is settled first.
uint32_t LiveFlags() {
    auto& cpu = fake::processor();
    cpu.eflags = Settle32(cpu.eflags);
    return cpu.eflags;
}

void Record(const char* operation) {
    fake::processor().operations.push_back(operation);
}

}  // namespace

namespace platform {

CpuidRegisters ExecuteCpuid(uint32_t leaf) {
    auto& cpu = fake::processor();
    Record(leaf == 0 ? "cpuid 0" : leaf == 1 ? "cpuid 1" : "cpuid other");
    ++cpu.cpuid_executions;
    if (!cpu.has_cpuid) {
        ++cpu.cpuid_executed_without_cpuid;
        return {0, 0, 0, 0};
    }
    if (leaf == 0)
        return {cpu.highest_basic_leaf, VendorWord(0), VendorWord(8), VendorWord(4)};
    if (leaf == 1)
        return {cpu.leaf1_eax, 0, 0, cpu.leaf1_edx};
    return {0, 0, 0, 0};
}

namespace {

FlagReadings Toggle(uint32_t mask) {
    auto& cpu = fake::processor();
    uint32_t before = LiveFlags();
    cpu.eflags = Settle32(before ^ mask);
    return {before, cpu.eflags};
}

void Write16(uint16_t value) {
    auto& cpu = fake::processor();
    cpu.eflags = (LiveFlags() & 0xFFFF0000) | Settle16(value);
}

}  // namespace

FlagReadings ToggleFlags32(uint32_t mask) {
    Record("flags32 toggle");
    return Toggle(mask);
}

void WriteFlags32(uint32_t value) {
    Record("flags32 write");
    LiveFlags();  // the sticky bits are those of the settled register
    fake::processor().eflags = Settle32(value);
}

FlagReadings ToggleFlags32OnAlignedStack(uint32_t mask) {
    Record("flags32 toggle aligned");
    FlagReadings readings = Toggle(mask);
    fake::processor().eflags = Settle32(readings.before);
    return readings;
}

uint16_t ReadFlags16() {
    Record("flags16 read");
    return static_cast<uint16_t>(LiveFlags());
}

uint16_t WriteReadFlags16(uint16_t value) {
    Record("flags16 write");
    Write16(value);
    return ReadFlags16();
}

void WriteFlags16(uint16_t value) {
    Record("flags16 write");
    Write16(value);
}

bool DivisionKeepsZeroFlag() {
    auto& cpu = fake::processor();
    Record("division");
    ++cpu.division_probes;
    return cpu.division_keeps_zero_flag;
}

uint64_t ReadTimeStamp() {
    auto& cpu = fake::processor();
    ++cpu.time_stamp_reads;
    return cpu.time_stamp ? cpu.time_stamp() : 0;
}

}  // namespace platform
