#include <algorithm>
#include <charconv>

#include "host/virtual_cpu/cpuid_dump.h"

namespace qel::virtual_cpu {

namespace {

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One to eight hexadecimal digits and nothing else.
bool ParseHex(std::string_view digits, uint32_t* value) {
    if (digits.empty() || digits.size() > 8 ||
        !std::all_of(digits.begin(), digits.end(), IsHexDigit))
        return false;
    std::from_chars(digits.data(), digits.data() + digits.size(), *value, 16);
    return true;
}

bool ParseDecimal(std::string_view digits, uint32_t* value) {
    if (digits.empty() || digits.size() > 9)
        return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    return error == std::errc() && end == digits.data() + digits.size();
}

// Splits at runs of blanks.
std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t", at)) != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(" \t", at), text.size());
        fields.push_back(text.substr(at, end - at));
        at = end;
    }
    return fields;
}

bool ParseFourHex(std::span<const std::string_view> fields, CpuidRecord* record) {
    return fields.size() == 4 && ParseHex(fields[0], &record->eax) &&
           ParseHex(fields[1], &record->ebx) && ParseHex(fields[2], &record->ecx) &&
           ParseHex(fields[3], &record->edx);
}

std::string HexText(uint32_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += kDigits[(value >> shift) & 0xf];
    return text;
}

// libcpuid's test files close the dump with a rule of dashes; what follows is their
// expected results.
bool IsClosingRule(std::string_view line) {
    return line.size() >= 40 && line.find_first_not_of('-') == std::string_view::npos;
}

// The records of one dump, each (leaf, subleaf) once, and the first error.
class Collector {
  public:
    bool Add(const CpuidRecord& record, uint32_t line) {
        for (size_t index = 0; index < records_.size(); index++) {
            const CpuidRecord& held = records_[index];
            if (held.leaf != record.leaf || held.subleaf != record.subleaf)
                continue;
            if (held == record)
                return true;
            return Fail(line, "leaf " + HexText(record.leaf) + " subleaf " +
                                  HexText(record.subleaf) + " was recorded on line " +
                                  std::to_string(lines_[index]) + " with other values");
        }
        if (records_.size() == CpuidModel::kCapacity)
            return Fail(line, "more than " + std::to_string(CpuidModel::kCapacity) +
                                  " leaves and subleaves, more than the model holds");
        records_.push_back(record);
        lines_.push_back(line);
        return true;
    }
    bool Holds(uint32_t leaf, uint32_t subleaf) const {
        return std::any_of(records_.begin(), records_.end(), [&](const CpuidRecord& held) {
            return held.leaf == leaf && held.subleaf == subleaf;
        });
    }
    bool Fail(uint32_t line, std::string message) {
        if (!failed_)
            error_ = {line, std::move(message)};
        failed_ = true;
        return false;
    }
    DumpReading Finish(DumpFormat format) {
        if (!failed_ && records_.empty())
            Fail(1, std::string("no CPUID leaves in this ") + DumpFormatName(format));
        DumpReading reading;
        if (failed_) {
            reading.error = error_;
        } else {
            reading.dump = CpuidDump{format, records_};
        }
        return reading;
    }

  private:
    std::vector<CpuidRecord> records_;
    std::vector<uint32_t> lines_;
    bool failed_ = false;
    DumpError error_;
};

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

uint32_t LineNumber(size_t index) {
    return static_cast<uint32_t>(index + 1);
}

// --- our own format -------------------------------------------------------------------

DumpReading ReadOwn(std::span<const std::string_view> lines) {
    Collector collector;
    bool header_seen = false;
    for (size_t index = 0; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (line.empty() || line[0] == '#')
            continue;
        if (!header_seen) {
            header_seen = true;  // detection found the header as the first such line
            continue;
        }
        const std::vector<std::string_view> fields = Fields(line);
        CpuidRecord record;
        if (fields.size() != 6 || !ParseHex(fields[0], &record.leaf) ||
            !ParseHex(fields[1], &record.subleaf) ||
            !ParseFourHex(std::span(fields).subspan(2), &record)) {
            collector.Fail(LineNumber(index),
                           "expected six hexadecimal words: leaf subleaf eax ebx ecx edx");
            break;
        }
        if (!collector.Add(record, LineNumber(index)))
            break;
    }
    return collector.Finish(DumpFormat::kOwn);
}

// --- libcpuid's raw files ---------------------------------------------------------------

// Where each of libcpuid's tables puts its rows: basic and extended leaves by index, the
// others as the subleaves of one leaf.
struct LibcpuidTable {
    std::string_view name;
    uint32_t leaf;
    bool indexes_subleaves;
};
constexpr LibcpuidTable kLibcpuidTables[] = {
    {"basic_cpuid", 0, false},
    {"ext_cpuid", 0x80000000, false},
    {"intel_fn4", 4, true},
    {"intel_fn11", 0xb, true},
    {"intel_fn12h", 0x12, true},
    {"intel_fn14h", 0x14, true},
    {"amd_fn8000001dh", 0x8000001d, true},
    {"amd_fn80000026h", 0x80000026, true},
};

DumpReading ReadLibcpuid(std::span<const std::string_view> lines) {
    Collector collector;
    // Rows of the subleaf tables first: where one repeats a leaf's subleaf 0, it was taken
    // with ECX set on purpose and wins over the plain row.
    struct Row {
        CpuidRecord record;
        uint32_t line;
    };
    std::vector<Row> subleaf_rows, plain_rows;
    bool first_processor = true, processor_seen = false;
    size_t index = 0;
    for (; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (line.empty() || StartsWith(line, "version="))
            continue;
        if (IsClosingRule(line))
            break;
        if (line[0] == '_') {  // "_________________ Logical CPU #1 _________________"
            first_processor = !processor_seen;
            processor_seen = true;
            continue;
        }
        const size_t open = line.find('['), close = line.find("]=");
        uint32_t row = 0;
        std::vector<std::string_view> fields;
        const LibcpuidTable* table = nullptr;
        if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
            for (const LibcpuidTable& known : kLibcpuidTables) {
                if (line.substr(0, open) == known.name)
                    table = &known;
            }
            if (table == nullptr) {
                collector.Fail(LineNumber(index), "unknown libcpuid table '" +
                                                      std::string(line.substr(0, open)) + "'");
                break;
            }
            fields = Fields(line.substr(close + 2));
        }
        CpuidRecord record;
        if (table == nullptr || !ParseDecimal(line.substr(open + 1, close - open - 1), &row) ||
            !ParseFourHex(fields, &record)) {
            collector.Fail(LineNumber(index),
                           "expected a libcpuid row: name[index]=eax ebx ecx edx, in hexadecimal");
            break;
        }
        if (!first_processor)
            continue;
        if (table->indexes_subleaves) {
            record.leaf = table->leaf;
            record.subleaf = row;
            subleaf_rows.push_back({record, LineNumber(index)});
        } else {
            record.leaf = table->leaf + row;
            plain_rows.push_back({record, LineNumber(index)});
        }
    }
    for (const Row& row : subleaf_rows)
        collector.Add(row.record, row.line);
    for (const Row& row : plain_rows) {
        if (!collector.Holds(row.record.leaf, 0))
            collector.Add(row.record, row.line);
    }
    return collector.Finish(DumpFormat::kLibcpuidRaw);
}

// --- "CPUID 00000001: EAX-EBX-ECX-EDX" listings ----------------------------------------

// "CPUID 00000001:" opens a record line; "CPUID Manufacturer : ..." in the same files does not.
bool IsListingRecord(std::string_view line) {
    return line.size() >= 15 && StartsWith(line, "CPUID ") && line[14] == ':' &&
           std::all_of(line.begin() + 6, line.begin() + 14, IsHexDigit);
}

// The section headers that open one processor's leaves: "------[ Logical CPU #0 ]------",
// "------[ CPUID Registers / Logical CPU #0 ]------", EVEREST's "CPUID Registers (CPU #1):",
// and "CPU#000 AffMask: 0x...".
bool IsProcessorHeader(std::string_view line) {
    return (StartsWith(line, "------[") && line.find("CPU #") != std::string_view::npos) ||
           StartsWith(line, "CPUID Registers (CPU #") ||
           (StartsWith(line, "CPU#") && line.find("AffMask:") != std::string_view::npos);
}

bool ParseListingRecord(std::string_view line, uint32_t previous_leaf, uint32_t previous_subleaf,
                        bool previous_exists, CpuidRecord* record) {
    ParseHex(line.substr(6, 8), &record->leaf);
    std::string_view rest = Trim(line.substr(15));
    const size_t values_end = std::min(rest.find_first_of(" \t"), rest.size());
    std::vector<std::string_view> values;
    std::string_view registers = rest.substr(0, values_end);
    size_t at = 0;
    while (at <= registers.size()) {
        const size_t dash = std::min(registers.find('-', at), registers.size());
        values.push_back(registers.substr(at, dash - at));
        at = dash + 1;
    }
    if (!ParseFourHex(values, record))
        return false;
    rest = Trim(rest.substr(values_end));
    if (StartsWith(rest, "[SL ")) {
        const size_t close = rest.find(']');
        return close != std::string_view::npos &&
               ParseHex(rest.substr(4, close - 4), &record->subleaf);
    }
    // Without [SL nn], EVEREST lists a leaf's subleaves one after the other.
    record->subleaf = previous_exists && previous_leaf == record->leaf ? previous_subleaf + 1 : 0;
    return rest.empty() || rest[0] == '[';
}

DumpReading ReadListing(std::span<const std::string_view> lines) {
    Collector collector;
    enum class Section { kBeforeAny, kFirstProcessor, kOther } section = Section::kBeforeAny;
    bool first_taken = false, previous_exists = false;
    CpuidRecord previous;
    size_t index = 0;
    for (; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (IsClosingRule(line))
            break;
        if (IsProcessorHeader(line)) {
            section = first_taken ? Section::kOther : Section::kFirstProcessor;
            first_taken = true;
            previous_exists = false;
            continue;
        }
        if (StartsWith(line, "------[")) {
            section = Section::kOther;
            continue;
        }
        if (!IsListingRecord(line) || section == Section::kOther)
            continue;
        if (section == Section::kBeforeAny)
            first_taken = true;
        CpuidRecord record;
        if (!ParseListingRecord(line, previous.leaf, previous.subleaf, previous_exists, &record)) {
            collector.Fail(LineNumber(index),
                           "expected CPUID LEAF: EAX-EBX-ECX-EDX in hexadecimal, "
                           "then optionally [SL subleaf]");
            break;
        }
        if (!collector.Add(record, LineNumber(index)))
            break;
        previous = record;
        previous_exists = true;
    }
    return collector.Finish(DumpFormat::kCpuidListing);
}

// --- Linux `cpuid -r` ----------------------------------------------------------------------

// "CPU 0:", or "CPU:" from `cpuid -r -1`.
bool IsLinuxProcessorHeader(std::string_view line) {
    if (line == "CPU:")
        return true;
    uint32_t number = 0;
    return StartsWith(line, "CPU ") && line.back() == ':' &&
           ParseDecimal(line.substr(4, line.size() - 5), &number);
}

// "0x00000001 0x00: eax=0x000906ea ebx=0x00100800 ecx=0x7ffafbbf edx=0xbfebfbff"
bool ParseLinuxRecord(std::string_view line, CpuidRecord* record) {
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() != 6 || !StartsWith(fields[0], "0x") || !StartsWith(fields[1], "0x") ||
        fields[1].back() != ':')
        return false;
    if (!ParseHex(fields[0].substr(2), &record->leaf) ||
        !ParseHex(fields[1].substr(2, fields[1].size() - 3), &record->subleaf))
        return false;
    uint32_t* const registers[] = {&record->eax, &record->ebx, &record->ecx, &record->edx};
    const char* const names[] = {"eax=0x", "ebx=0x", "ecx=0x", "edx=0x"};
    for (int reg = 0; reg < 4; reg++) {
        if (!StartsWith(fields[2 + reg], names[reg]) ||
            !ParseHex(fields[2 + reg].substr(6), registers[reg]))
            return false;
    }
    return true;
}

DumpReading ReadLinux(std::span<const std::string_view> lines) {
    Collector collector;
    bool processor_seen = false, first_processor = true;
    for (size_t index = 0; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (line.empty())
            continue;
        if (IsLinuxProcessorHeader(line)) {
            first_processor = !processor_seen;
            processor_seen = true;
            continue;
        }
        CpuidRecord record;
        if (!ParseLinuxRecord(line, &record)) {
            collector.Fail(LineNumber(index),
                           "expected a cpuid -r line: 0xLEAF 0xSUBLEAF: eax=0x... ebx=0x... "
                           "ecx=0x... edx=0x...");
            break;
        }
        if (first_processor && !collector.Add(record, LineNumber(index)))
            break;
    }
    return collector.Finish(DumpFormat::kLinuxCpuid);
}

// --- which format ------------------------------------------------------------------------

std::optional<DumpFormat> FormatOfLine(std::string_view line, bool first_line) {
    if (first_line && line == kOwnDumpHeader)
        return DumpFormat::kOwn;
    if (StartsWith(line, "basic_cpuid[") || StartsWith(line, "ext_cpuid["))
        return DumpFormat::kLibcpuidRaw;
    if (IsListingRecord(line) || IsProcessorHeader(line))
        return DumpFormat::kCpuidListing;
    if (IsLinuxProcessorHeader(line) ||
        (StartsWith(line, "0x") && line.find("eax=0x") != line.npos))
        return DumpFormat::kLinuxCpuid;
    return std::nullopt;
}

}  // namespace

const char* DumpFormatName(DumpFormat format) {
    switch (format) {
        case DumpFormat::kOwn:
            return "kzprobex CPUID dump";
        case DumpFormat::kLibcpuidRaw:
            return "libcpuid raw dump";
        case DumpFormat::kCpuidListing:
            return "AIDA64/EVEREST CPUID listing";
        case DumpFormat::kLinuxCpuid:
            return "cpuid -r listing";
    }
    return "CPUID dump";
}

DumpReading ReadCpuidDump(std::string_view text, uint32_t processor) {
    if (processor != 0) {
        DumpReading reading;
        reading.error = {1, "this reader knows only the first processor of a dump"};
        return reading;
    }
    const std::vector<std::string_view> lines = SplitLines(text);
    bool first_line = true;
    for (const std::string_view raw : lines) {
        const std::string_view line = Trim(raw);
        if (line.empty())
            continue;
        const std::optional<DumpFormat> format = FormatOfLine(line, first_line);
        first_line = false;
        if (!format)
            continue;
        switch (*format) {
            case DumpFormat::kOwn:
                return ReadOwn(lines);
            case DumpFormat::kLibcpuidRaw:
                return ReadLibcpuid(lines);
            case DumpFormat::kCpuidListing:
                return ReadListing(lines);
            case DumpFormat::kLinuxCpuid:
                return ReadLinux(lines);
        }
    }
    DumpReading reading;
    reading.error = {
        1, "not a CPUID dump: no line of a known format (" + std::string(kOwnDumpHeader) +
               ", basic_cpuid[0]=..., CPUID 00000000: ..., or cpuid -r's 0x00000000 0x00: "
               "eax=...)"};
    return reading;
}

}  // namespace qel::virtual_cpu
