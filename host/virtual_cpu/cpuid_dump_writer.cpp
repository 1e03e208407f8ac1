#include <stdio.h>

#include <algorithm>
#include <vector>

#include "host/virtual_cpu/cpuid_dump.h"

namespace qel::virtual_cpu {

std::string WriteCpuidDump(std::span<const CpuidRecord> records, std::string_view source) {
    std::vector<CpuidRecord> sorted(records.begin(), records.end());
    std::sort(sorted.begin(), sorted.end(), [](const CpuidRecord& a, const CpuidRecord& b) {
        return a.leaf != b.leaf ? a.leaf < b.leaf : a.subleaf < b.subleaf;
    });
    std::string text(kOwnDumpHeader);
    text += "\n";
    if (!source.empty()) {
        text += "# ";
        for (char c : source)
            text += c == '\n' || c == '\r' ? ' ' : c;  // one comment line, whatever it holds
        text += "\n";
    }
    text += "# leaf    subleaf  eax      ebx      ecx      edx\n";
    for (const CpuidRecord& record : sorted) {
        char line[64];
        snprintf(line, sizeof line, "%08x %08x %08x %08x %08x %08x\n", record.leaf, record.subleaf,
                 record.eax, record.ebx, record.ecx, record.edx);
        text += line;
    }
    return text;
}

}  // namespace qel::virtual_cpu
