#include <algorithm>
#include <charconv>

#include "host/virtual_cpu/clock_rate.h"
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

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

// Where each processor's records begin in a dump of several. A heading opens the next
// block; so does a leaf 0 where the open block has one already (listings that put the
// processors one after another with only a blank line between). A block counts from its
// first record, so a heading over nothing is no processor.
class Blocks {
  public:
    explicit Blocks(uint32_t chosen) : chosen_(chosen) {}

    void Heading() { heading_pending_ = true; }

    // The record on `line` placed; true where it is the chosen processor's.
    bool Place(bool is_leaf_0, uint32_t line) {
        if (count_ == 0 || heading_pending_ || (is_leaf_0 && leaf_0_seen_)) {
            ++count_;
            leaf_0_seen_ = heading_pending_ = false;
            last_start_line_ = line;
            if (IsChosen())
                chosen_start_line_ = line;
        }
        leaf_0_seen_ = leaf_0_seen_ || is_leaf_0;
        return IsChosen();
    }
    uint32_t chosen() const { return chosen_; }
    uint32_t count() const { return count_; }
    uint32_t last_start_line() const { return last_start_line_; }
    uint32_t chosen_start_line() const { return chosen_start_line_; }

  private:
    bool IsChosen() const { return count_ == chosen_ + 1; }

    uint32_t chosen_;
    uint32_t count_ = 0;
    bool heading_pending_ = false, leaf_0_seen_ = false;
    uint32_t last_start_line_ = 0, chosen_start_line_ = 0;
};

// The chosen processor's records, each (leaf, subleaf) once, and the first error.
class Collector {
  public:
    // `start_line`: where the dump's format was found, named when it holds no leaves.
    explicit Collector(uint32_t start_line) : start_line_(start_line) {}

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
    const CpuidRecord* Find(uint32_t leaf, uint32_t subleaf) const {
        const auto found = std::find_if(
            records_.begin(), records_.end(),
            [&](const CpuidRecord& held) { return held.leaf == leaf && held.subleaf == subleaf; });
        return found == records_.end() ? nullptr : &*found;
    }
    // The subleaf a leaf listed once more stands for: the one after its highest so far.
    uint32_t NextSubleaf(uint32_t leaf) const {
        uint32_t next = 0;
        for (const CpuidRecord& held : records_) {
            if (held.leaf == leaf)
                next = std::max(next, held.subleaf + 1);
        }
        return next;
    }
    bool Fail(uint32_t line, std::string message) {
        if (!failed_)
            error_ = {line, std::move(message)};
        failed_ = true;
        return false;
    }

    // `header_clock_khz`: the clock rate a header line of the file records, 0 where none.
    DumpReading Finish(DumpFormat format, const Blocks& blocks, uint32_t header_clock_khz = 0) {
        if (blocks.count() == 0) {
            Fail(start_line_, std::string("no CPUID leaves in this ") + DumpFormatName(format));
        } else if (blocks.chosen() >= blocks.count()) {
            const uint32_t count = blocks.count();
            Fail(blocks.last_start_line(), "no processor " + std::to_string(blocks.chosen()) +
                                               ": the file lists " + std::to_string(count) +
                                               (count == 1 ? " processor" : " processors") +
                                               ", numbered from 0, the last one from this line");
        } else if (Find(0, 0) == nullptr) {
            Fail(blocks.chosen_start_line(), "processor " + std::to_string(blocks.chosen()) +
                                                 ", listed from this line, has no leaf 0");
        }
        DumpReading reading;
        if (failed_) {
            reading.error = error_;
            return reading;
        }
        reading.dump = CpuidDump{format, records_, blocks.chosen(), blocks.count(),
                                 LeafClockKhz() != 0 ? LeafClockKhz() : header_clock_khz};
        return reading;
    }

  private:
    // Leaf 0x16's base frequency in MHz, where leaf 0 says the processor has that leaf (a
    // dump of every leaf up to 31 records the highest leaf's answer in the ones beyond).
    uint32_t LeafClockKhz() const {
        const CpuidRecord* highest = Find(0, 0);
        const CpuidRecord* frequency = Find(0x16, 0);
        if (highest == nullptr || frequency == nullptr || highest->eax < 0x16)
            return 0;
        return (frequency->eax & 0xffff) * 1000;
    }

    uint32_t start_line_;
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

DumpReading ReadOwn(std::span<const std::string_view> lines, uint32_t start_line,
                    uint32_t processor) {
    Collector collector(start_line);
    Blocks blocks(processor);
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
        blocks.Place(false, LineNumber(index));  // one processor, whatever its records
        if (!collector.Add(record, LineNumber(index)))
            break;
    }
    return collector.Finish(DumpFormat::kOwn, blocks);
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

DumpReading ReadLibcpuid(std::span<const std::string_view> lines, uint32_t start_line,
                         uint32_t processor) {
    Collector collector(start_line);
    Blocks blocks(processor);
    // Rows of the subleaf tables first: where one repeats a leaf's subleaf 0, it was taken
    // with ECX set on purpose and wins over the plain row.
    struct Row {
        CpuidRecord record;
        uint32_t line;
    };
    std::vector<Row> subleaf_rows, plain_rows;
    for (size_t index = 0; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (line.empty() || StartsWith(line, "version="))
            continue;
        if (IsClosingRule(line))
            break;
        if (line[0] == '_') {  // "_________________ Logical CPU #1 _________________"
            blocks.Heading();
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
        const bool is_leaf_0 = table->leaf == 0 && row == 0;
        if (!blocks.Place(is_leaf_0, LineNumber(index)))
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
        if (collector.Find(row.record.leaf, 0) == nullptr)
            collector.Add(row.record, row.line);
    }
    return collector.Finish(DumpFormat::kLibcpuidRaw, blocks);
}

// --- "CPUID 00000001: EAX-EBX-ECX-EDX" listings ----------------------------------------

// Where the registers of a leaf line start: after "CPUID", the leaf's eight hexadecimal
// digits and the separator, which the listings spell ": ", " : ", " :", ":", a tab or
// blanks. Nothing for other lines, "CPUID Manufacturer : ..." in the same files among them.
std::optional<size_t> ListingRegistersAt(std::string_view line) {
    if (!StartsWith(line, "CPUID") || line.size() < 6 || !IsBlank(line[5]))
        return std::nullopt;
    const size_t leaf_at = line.find_first_not_of(" \t", 5);
    if (leaf_at == std::string_view::npos || line.size() < leaf_at + 8 ||
        !std::all_of(line.begin() + leaf_at, line.begin() + leaf_at + 8, IsHexDigit))
        return std::nullopt;
    size_t at = leaf_at + 8;
    if (at < line.size() && line[at] != ':' && !IsBlank(line[at]))
        return std::nullopt;
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    if (at < line.size() && line[at] == ':')
        ++at;
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    return at;
}

// The leaf's digits of a line ListingRegistersAt accepts.
uint32_t ListingLeaf(std::string_view line) {
    uint32_t leaf = 0;
    ParseHex(line.substr(line.find_first_not_of(" \t", 5), 8), &leaf);
    return leaf;
}

// "CPU 0:" over `cpuid -r` lines and some listings, or "CPU:" from `cpuid -r -1`.
bool IsLinuxProcessorHeading(std::string_view line) {
    if (line == "CPU:")
        return true;
    uint32_t number = 0;
    return StartsWith(line, "CPU ") && line.back() == ':' &&
           ParseDecimal(Trim(line.substr(4, line.size() - 5)), &number);
}

// The headings that open one processor's leaves: "------[ Logical CPU #0 ]------",
// "------[ CPUID Registers / Logical CPU #0 ]------", EVEREST's "CPUID Registers (CPU #1):",
// "CPU#000 AffMask: 0x...", and "CPU 0:" as `cpuid -r` writes it.
bool IsListingProcessorHeading(std::string_view line) {
    return (StartsWith(line, "------[") && line.find("CPU #") != std::string_view::npos) ||
           StartsWith(line, "CPUID Registers (CPU #") ||
           (StartsWith(line, "CPU#") && line.find("AffMask:") != std::string_view::npos) ||
           IsLinuxProcessorHeading(line);
}

const char kListingRecordForm[] =
    "expected CPUID LEAF: EAX-EBX-ECX-EDX (or the four between blanks) in hexadecimal, "
    "then optionally [SL subleaf]";

// The registers and the "[SL nn]" mark of a leaf line, the registers from `at`; false with
// *problem.
bool ParseListingRegisters(std::string_view line, size_t at, CpuidRecord* record,
                           std::optional<uint32_t>* subleaf_mark, std::string* problem) {
    std::string_view rest = line.substr(at);
    std::vector<std::string_view> words;
    const size_t first_end = std::min(rest.find_first_of(" \t"), rest.size());
    if (rest.substr(0, first_end).find('-') != std::string_view::npos) {
        const std::string_view registers = rest.substr(0, first_end);
        for (size_t from = 0; from <= registers.size();) {
            const size_t dash = std::min(registers.find('-', from), registers.size());
            words.push_back(registers.substr(from, dash - from));
            from = dash + 1;
        }
        rest = Trim(rest.substr(first_end));
    } else {
        while (words.size() < 4 && !rest.empty() && rest[0] != '[') {
            const size_t end = std::min(rest.find_first_of(" \t"), rest.size());
            words.push_back(rest.substr(0, end));
            rest = Trim(rest.substr(end));
        }
    }
    if (words.size() != 4) {
        *problem = (words.size() < 4
                        ? "the line ends after " + std::to_string(words.size()) + " registers; "
                        : std::to_string(words.size()) + " registers, not four; ") +
                   kListingRecordForm;
        return false;
    }
    uint32_t* const registers[] = {&record->eax, &record->ebx, &record->ecx, &record->edx};
    for (size_t reg = 0; reg < 4; reg++) {
        if (!ParseHex(words[reg], registers[reg])) {
            *problem = "'" + std::string(words[reg]) +
                       "' is not a hexadecimal word of one to eight digits; " + kListingRecordForm;
            return false;
        }
    }
    if (StartsWith(rest, "[SL ")) {
        const size_t close = rest.find(']');
        uint32_t subleaf = 0;
        if (close == std::string_view::npos ||
            !ParseHex(Trim(rest.substr(4, close - 4)), &subleaf)) {
            *problem =
                "a subleaf mark that is not [SL hexadecimal]; " + std::string(kListingRecordForm);
            return false;
        }
        *subleaf_mark = subleaf;
    } else if (!rest.empty() && rest[0] != '[') {  // later brackets are comments
        *problem = "'" + std::string(rest) + "' after the registers; " + kListingRecordForm;
        return false;
    }
    return true;
}

// The clock rate a header line records: AIDA64's and EVEREST's "CPU Type : AMD K6, 233 MHz"
// (a rating or the multiplier may follow), or a "Frequency: 240.86MHz" line; 0 for others.
uint32_t HeaderClockKhz(std::string_view line) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return 0;
    const std::string_view label = Trim(line.substr(0, colon));
    if (label != "CPU Type" && label.find("Frequency") == std::string_view::npos)
        return 0;
    const std::string_view value = line.substr(colon + 1);
    const size_t unit = value.find("MHz");
    if (unit == std::string_view::npos)
        return 0;
    std::string_view number = Trim(value.substr(0, unit));  // "AMD K6, 233"
    const size_t before = number.find_last_not_of("0123456789.");
    if (before != std::string_view::npos)
        number = number.substr(before + 1);
    return ParseClockMhz(number).value_or(0);
}

DumpReading ReadListing(std::span<const std::string_view> lines, uint32_t start_line,
                        uint32_t processor) {
    Collector collector(start_line);
    Blocks blocks(processor);
    uint32_t header_clock_khz = 0;
    for (size_t index = 0; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (IsClosingRule(line))
            break;
        if (IsListingProcessorHeading(line)) {
            blocks.Heading();
            continue;
        }
        const std::optional<size_t> registers_at = ListingRegistersAt(line);
        if (!registers_at) {
            if (header_clock_khz == 0)
                header_clock_khz = HeaderClockKhz(line);
            continue;
        }
        CpuidRecord record;
        record.leaf = ListingLeaf(line);
        std::optional<uint32_t> subleaf_mark;
        std::string problem;
        if (!ParseListingRegisters(line, *registers_at, &record, &subleaf_mark, &problem)) {
            collector.Fail(LineNumber(index), problem);
            break;
        }
        const bool is_leaf_0 = record.leaf == 0 && subleaf_mark.value_or(0) == 0;
        if (!blocks.Place(is_leaf_0, LineNumber(index)))
            continue;
        // Without [SL nn], a leaf listed again is its next subleaf (older EVEREST, leaf 4).
        record.subleaf = subleaf_mark.value_or(collector.NextSubleaf(record.leaf));
        if (!collector.Add(record, LineNumber(index)))
            break;
    }
    return collector.Finish(DumpFormat::kCpuidListing, blocks, header_clock_khz);
}

// --- Linux `cpuid -r` ----------------------------------------------------------------------

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

DumpReading ReadLinux(std::span<const std::string_view> lines, uint32_t start_line,
                      uint32_t processor) {
    Collector collector(start_line);
    Blocks blocks(processor);
    for (size_t index = 0; index < lines.size(); index++) {
        const std::string_view line = Trim(lines[index]);
        if (line.empty())
            continue;
        if (IsLinuxProcessorHeading(line)) {
            blocks.Heading();
            continue;
        }
        CpuidRecord record;
        if (!ParseLinuxRecord(line, &record)) {
            collector.Fail(LineNumber(index),
                           "expected a cpuid -r line: 0xLEAF 0xSUBLEAF: eax=0x... ebx=0x... "
                           "ecx=0x... edx=0x...");
            break;
        }
        const bool is_leaf_0 = record.leaf == 0 && record.subleaf == 0;
        if (blocks.Place(is_leaf_0, LineNumber(index)) && !collector.Add(record, LineNumber(index)))
            break;
    }
    return collector.Finish(DumpFormat::kLinuxCpuid, blocks);
}

// --- which format ------------------------------------------------------------------------

// The format a record line (or our header) belongs to. Headings decide nothing: "CPU 0:"
// stands over `cpuid -r` lines and over listings alike.
std::optional<DumpFormat> FormatOfLine(std::string_view line, bool first_line) {
    if (first_line && line == kOwnDumpHeader)
        return DumpFormat::kOwn;
    if (StartsWith(line, "basic_cpuid[") || StartsWith(line, "ext_cpuid["))
        return DumpFormat::kLibcpuidRaw;
    if (ListingRegistersAt(line))
        return DumpFormat::kCpuidListing;
    if (StartsWith(line, "0x") && line.find("eax=0x") != line.npos)
        return DumpFormat::kLinuxCpuid;
    return std::nullopt;
}

// A file of headings without records: the format its headings name, to say it has no leaves.
std::optional<DumpFormat> FormatOfHeading(std::string_view line) {
    if (IsLinuxProcessorHeading(line))
        return DumpFormat::kLinuxCpuid;
    if (IsListingProcessorHeading(line))
        return DumpFormat::kCpuidListing;
    return std::nullopt;
}

// Files that hold a listing but not as text: libcpuid keeps its larger test files compressed
// with xz (amd-epyc-7551p-32-core-processor.test.xz), and Windows editors save "Unicode" as
// UTF-16. Each is named, with what turns it into text, rather than called no dump at all.
const char kUtf16Message[] =
    "UTF-16 text: convert it to UTF-8 first (iconv -f UTF-16 -t UTF-8 FILE)";
struct EncodedForm {
    std::string_view start;
    const char* message;
};
constexpr EncodedForm kEncodedForms[] = {
    {std::string_view("\xFD\x37zXZ\0", 6),
     "compressed with xz, not text: decompress it first (xz -dk FILE)"},
    {"\x1F\x8B", "compressed with gzip, not text: decompress it first (gunzip -k FILE)"},
    {"\xFF\xFE", kUtf16Message},  // little-endian
    {"\xFE\xFF", kUtf16Message},
};

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
    for (const EncodedForm& form : kEncodedForms) {
        if (StartsWith(text, form.start)) {
            DumpReading reading;
            reading.error = {1, form.message};
            return reading;
        }
    }
    if (StartsWith(text, "\xEF\xBB\xBF"))  // the byte-order mark Windows editors write
        text.remove_prefix(3);
    const std::vector<std::string_view> lines = SplitLines(text);
    std::optional<DumpFormat> format, heading_format;
    uint32_t format_line = 0, heading_line = 0, first_text_line = 0;
    for (size_t index = 0; index < lines.size() && !format; index++) {
        const std::string_view line = Trim(lines[index]);
        if (line.empty())
            continue;
        format = FormatOfLine(line, first_text_line == 0);
        format_line = LineNumber(index);
        if (first_text_line == 0)
            first_text_line = LineNumber(index);
        if (!heading_format) {
            heading_format = FormatOfHeading(line);
            heading_line = LineNumber(index);
        }
    }
    if (!format && heading_format) {
        format = heading_format;
        format_line = heading_line;
    }
    if (format) {
        switch (*format) {
            case DumpFormat::kOwn:
                return ReadOwn(lines, format_line, processor);
            case DumpFormat::kLibcpuidRaw:
                return ReadLibcpuid(lines, format_line, processor);
            case DumpFormat::kCpuidListing:
                return ReadListing(lines, format_line, processor);
            case DumpFormat::kLinuxCpuid:
                return ReadLinux(lines, format_line, processor);
        }
    }
    DumpReading reading;
    reading.error = {
        std::max<uint32_t>(first_text_line, 1),
        "not a CPUID dump: no line of a known format (" + std::string(kOwnDumpHeader) +
            ", basic_cpuid[0]=..., CPUID 00000000: ..., or cpuid -r's 0x00000000 0x00: "
            "eax=...)"};
    return reading;
}

}  // namespace qel::virtual_cpu
