// The CPUID dump reader on arbitrary text. A dump it accepts holds each leaf and subleaf once
// and no more than the model does, fills the model, crosses the runner's pipe unchanged, and
// written in our own format reads back to the same records; a refusal names a line of the
// text and says what was wrong.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/virtual_cpu/cpuid_dump.h"
#include "host/virtual_cpu/cpuid_wire.h"

namespace vc = qel::virtual_cpu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const vc::DumpReading reading = vc::ReadCpuidDump(text);
    if (!reading.dump) {
        const size_t lines = std::count(text.begin(), text.end(), '\n') + 1;
        if (reading.error.line < 1 || reading.error.line > lines || reading.error.message.empty())
            __builtin_trap();
        return 0;
    }
    const std::vector<vc::CpuidRecord>& records = reading.dump->records;
    vc::CpuidModel model;
    for (const vc::CpuidRecord& record : records) {
        if (!model.Add(record))
            __builtin_trap();  // a leaf and subleaf twice, or too many
    }
    std::vector<uint32_t> words(vc::kCpuidWireMaxWords);
    words.resize(vc::WriteCpuidWire(model, words));
    vc::CpuidModel received;
    if (!vc::ReadCpuidWire(words, &received) || received.Records().size() != records.size())
        __builtin_trap();
    for (const vc::CpuidRecord& record : records) {
        const vc::CpuidAnswer answer = received.Answer(record.leaf, record.subleaf);
        if (answer != vc::CpuidAnswer{record.eax, record.ebx, record.ecx, record.edx})
            __builtin_trap();
    }
    const vc::DumpReading again = vc::ReadCpuidDump(vc::WriteCpuidDump(records, "again"));
    if (!again.dump || again.dump->format != vc::DumpFormat::kOwn ||
        again.dump->records.size() != records.size() ||
        !std::is_permutation(records.begin(), records.end(), again.dump->records.begin()))
        __builtin_trap();
    return 0;
}
