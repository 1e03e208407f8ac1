// The CPUID model as plain 32-bit words, for the pipe from qelhost to the runner: a tag, the
// record count, then six words a record (leaf, subleaf, EAX, EBX, ECX, EDX).
// Freestanding (the runner builds it).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <span>

#include "host/virtual_cpu/cpuid_model.h"

namespace qel::virtual_cpu {

inline constexpr uint32_t kCpuidWireTag = 0x44495043;  // "CPID" in memory order
inline constexpr size_t kCpuidWireWordsPerRecord = 6;

constexpr size_t CpuidWireWords(size_t record_count) {
    return 2 + kCpuidWireWordsPerRecord * record_count;
}
inline constexpr size_t kCpuidWireMaxWords = CpuidWireWords(CpuidModel::kCapacity);

// Words written, or 0 when `out` is too small.
size_t WriteCpuidWire(const CpuidModel& model, std::span<uint32_t> out);

// False when the words are not exactly one model's: another tag, a count beyond the
// capacity, a length that does not match the count, or a leaf and subleaf twice.
bool ReadCpuidWire(std::span<const uint32_t> words, CpuidModel* model);

}  // namespace qel::virtual_cpu
