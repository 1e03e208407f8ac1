// Recorded CPUID dumps read and written (qelhost only: the runner receives the model over
// its pipe). Read: libcpuid's raw files (basic_cpuid[N]=...), the "CPUID 00000001:
// EAX-EBX-ECX-EDX" listings of AIDA64 and EVEREST (InstLatx64's collection, libcpuid's newer
// test files) in each of their spellings, the Linux `cpuid -r` output, and our own format
// (docs/cpuid-dump-format.md), which is the one written. Of a dump listing several
// processors, one is read: the first, or the one asked for.
#pragma once
#include <stdint.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/virtual_cpu/cpuid_model.h"

namespace qel::virtual_cpu {

enum class DumpFormat { kOwn, kLibcpuidRaw, kCpuidListing, kLinuxCpuid };
const char* DumpFormatName(DumpFormat format);

// The first line of our own format.
inline constexpr std::string_view kOwnDumpHeader = "kzprobex-cpuid-dump 1";

struct CpuidDump {
    DumpFormat format = DumpFormat::kOwn;
    std::vector<CpuidRecord> records;  // in file order, each leaf and subleaf once
    uint32_t processor = 0;            // which processor's block these are, from 0 in file order
    uint32_t processor_count = 1;      // how many processors the file lists
    // The clock rate the listing records (leaf 0x16's base frequency, or a header line such
    // as "Frequency: 240.86MHz"), in kHz; 0 where it records none.
    uint32_t recorded_clock_khz = 0;
};

struct DumpError {
    uint32_t line = 0;  // 1-based
    std::string message;
};

struct DumpReading {
    std::optional<CpuidDump> dump;
    DumpError error;  // when there is no dump
};

// Finds the format and reads the leaves of the processor numbered `processor` (0: the
// first, in file order). Fails, naming the line, on a line that belongs to the format but
// is malformed, on a leaf and subleaf recorded twice with different values, on more records
// than the model holds, on a dump without any, on a processor without leaf 0, and on a
// processor the dump does not list.
DumpReading ReadCpuidDump(std::string_view text, uint32_t processor = 0);

// Our own format: the header, a comment naming the fields (and `source`, when not empty),
// then one line a record, sorted by leaf and subleaf.
std::string WriteCpuidDump(std::span<const CpuidRecord> records, std::string_view source);

}  // namespace qel::virtual_cpu
