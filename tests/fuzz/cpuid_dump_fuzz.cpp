// The CPUID dump reader on arbitrary text. A dump it accepts holds leaf 0, each leaf and
// subleaf once and no more than the model does, fills the model, crosses the runner's pipe
// unchanged, and written in our own format reads back to the same records; its last
// processor reads too, and one beyond is refused. A refusal names a line of the text and
// says what was wrong.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/virtual_cpu/cpuid_dump.h"
#include "host/virtual_cpu/cpuid_wire.h"

namespace vc = qel::virtual_cpu;

namespace {

void CheckRefusal(const std::string& text, const vc::DumpReading& reading) {
    const size_t lines = std::count(text.begin(), text.end(), '\n') + 1;
    if (reading.dump || reading.error.line < 1 || reading.error.line > lines ||
        reading.error.message.empty())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const vc::DumpReading reading = vc::ReadCpuidDump(text);
    if (!reading.dump) {
        CheckRefusal(text, reading);
        return 0;
    }
    const uint32_t count = reading.dump->processor_count;
    if (reading.dump->processor != 0 || count == 0)
        __builtin_trap();
    const vc::DumpReading last = vc::ReadCpuidDump(text, count - 1);
    if (last.dump && last.dump->processor != count - 1)
        __builtin_trap();
    CheckRefusal(text, vc::ReadCpuidDump(text, count));
    const std::vector<vc::CpuidRecord>& records = reading.dump->records;
    if (std::none_of(records.begin(), records.end(),
                     [](const vc::CpuidRecord& r) { return r.leaf == 0 && r.subleaf == 0; }))
        __builtin_trap();
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
