#include "host/cli/output/zoo_output.h"

#include <stdio.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "abi/function_values.h"
#include "host/cli/decode.h"
#include "host/cli/function_traits.h"
#include "host/cli/output/format.h"

namespace qel {

namespace number = qel_abi::function_number;

// ccpubenchmark as 3 runs of 100000 iterations, so the zoo stays quick.
const std::vector<ZooCall>& ZooCalls() {
    static const std::vector<ZooCall> calls = {
        {number::ccpusupt, {}, "supt", false},
        {number::ccpuid, {}, "id", false},
        {number::ccpuidext, {}, "idext", true},
        {number::ccpufeat, {}, "feat", true},
        {number::cvendorid, {}, "vendor", false},
        {number::cclonecheck, {}, "clone", false},
        {number::ccpuspeed, {SpeedModeText(qel_abi::speed_mode::kRating)}, "rated", false},
        {number::ccpuspeed, {SpeedModeText(qel_abi::speed_mode::kMhz)}, "MHz", false},
        {number::ccpubenchmark, {"1", "3", "100000", "0", "1"}, "bench", false},
        {number::cmemstat, {}, "memory", false},
        {number::cversioninfo, {"0"}, "version", false},
    };
    return calls;
}

namespace {

// The chip's clock rate in MHz: "450", "116.667".
std::string ClockMhz(uint32_t khz) {
    std::string text = std::to_string(khz / 1000);
    if (khz % 1000 != 0) {
        char decimals[8];
        snprintf(decimals, sizeof decimals, ".%03u", static_cast<unsigned>(khz % 1000));
        text += decimals;
        while (text.back() == '0')
            text.pop_back();
    }
    return text;
}

std::string Cell(const std::optional<CallResult>& result, bool hexadecimal) {
    if (!result)
        return "-";
    if (!result->failure.empty())
        return "crash";
    if (result->outcome.status != 0) {
        const int32_t number = ErrorNumber(result->outcome.text);
        return number >= 0 ? "error " + std::to_string(number) : "error";
    }
    if (!hexadecimal)
        return std::to_string(result->outcome.value);
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(result->outcome.value));
    return text;
}

std::vector<std::string> Cells(const ZooRow& row) {
    std::vector<std::string> cells;
    for (size_t index = 0; index < row.results.size(); ++index)
        cells.push_back(Cell(row.results[index], ZooCalls()[index].hexadecimal));
    return cells;
}

// The listing's path, and which of its processors the row is where it lists several.
std::string RowName(const ZooRow& row) {
    return row.block ? row.name + "#" + std::to_string(*row.block) : row.name;
}

// "450", "2596.123*": the star marks this machine's rate.
std::string ClockCell(const ZooRow& row) {
    if (row.vendor.empty())
        return "-";  // a refused listing
    return ClockMhz(row.clock_khz) + (row.clock_of_host ? "*" : "");
}

void WriteText(const ZooTable& table, std::ostream& out) {
    std::vector<std::string> headings = {table.survey ? "listing" : "processor", "vendor", "clock"};
    for (const ZooCall& call : ZooCalls())
        headings.push_back(call.heading);
    headings.push_back("speed route");
    std::vector<std::vector<std::string>> lines;
    for (const ZooRow& row : table.rows) {
        std::vector<std::string> line = {RowName(row), row.vendor.empty() ? "-" : row.vendor,
                                         ClockCell(row)};
        if (!row.problem.empty() && row.results.empty()) {
            line.push_back("(" + row.problem + ")");
        } else {
            const std::vector<std::string> cells = Cells(row);
            line.insert(line.end(), cells.begin(), cells.end());
            line.push_back(row.route);
        }
        lines.push_back(line);
    }
    std::vector<size_t> widths(headings.size(), 0);
    for (size_t column = 0; column < headings.size(); ++column)
        widths[column] = headings[column].size();
    for (const auto& line : lines) {
        // A problem runs on past the columns it stands in for.
        const size_t sized = line.size() == headings.size() ? line.size() : line.size() - 1;
        for (size_t column = 0; column < sized; ++column)
            widths[column] = std::max(widths[column], line[column].size());
    }
    auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (size_t column = 0; column < line.size(); ++column) {
            const bool last = column + 1 == line.size();
            text += last ? line[column] : Padded(line[column], widths[column] + 2);
        }
        out << text << "\n";
    };
    print(headings);
    for (const auto& line : lines)
        print(line);
    out << "\n";
    if (table.survey) {
        out << "Each listing answers CPUID from its leaves and counts time-stamp cycles at the "
               "clock rate it records (the \"clock\" column, MHz).\n";
        if (table.host_clock_khz != 0) {
            out << "A clock marked * is this machine's time-stamp rate, measured once ("
                << ClockMhz(table.host_clock_khz) << " MHz), for a listing that records none.\n";
        }
    } else {
        out << "Each chip answers CPUID from its recorded leaves and counts time-stamp cycles at "
               "its clock rate (the \"clock\" column, MHz).\n";
    }
    out << (table.scripted_clocks
                ? "Clocks: one scripted timeline: every read of the performance counter, the "
                  "tick count or the multimedia timer moves it 1 ms, or on a chip without a "
                  "time-stamp counter as long as the DLL's scan loop takes on the real chip "
                  "(a model of its counter).\n"
                : "Clocks: real.\n");
}

// 450, 116.667.
Json ClockJson(uint32_t khz) {
    return khz % 1000 == 0 ? Json(khz / 1000) : Json(khz / 1000.0);
}

Json RowJson(const ZooRow& row, bool survey) {
    Json json = Json::object();
    const bool ran = !row.vendor.empty();
    if (survey) {
        json["file"] = row.name;
        if (row.block)
            json["processor"] = *row.block;
        json["vendor"] = ran ? Json(row.vendor) : Json(nullptr);
        json["clock_mhz"] = ran ? ClockJson(row.clock_khz) : Json(nullptr);
        json["clock"] = ran ? Json(row.clock_of_host ? "host" : "recorded") : Json(nullptr);
    } else {
        json["name"] = row.name;
        json["title"] = row.processor->title;
        json["qemu_cpu"] = row.processor->qemu_cpu;
        json["vendor"] = row.vendor;
        json["clock_mhz"] = ClockJson(row.clock_khz);
    }
    if (!row.problem.empty())
        json["problem"] = row.problem;
    json["speed_route"] = row.route;
    Json& results = json["results"] = Json::object();
    const std::vector<std::string> cells = Cells(row);
    for (size_t cell = 0; cell < cells.size(); ++cell) {
        const ZooCall& call = ZooCalls()[cell];
        results[CallText(TraitsOf(call.function).name, call.arguments)] = cells[cell];
    }
    return json;
}

void WriteJson(const ZooTable& table, std::ostream& out) {
    Json document = {{"clocks", table.scripted_clocks ? "scripted" : "real"}};
    if (table.survey)
        document["host_clock_mhz"] =
            table.host_clock_khz != 0 ? ClockJson(table.host_clock_khz) : Json(nullptr);
    Json& rows = document[table.survey ? "listings" : "processors"] = Json::array();
    for (const ZooRow& row : table.rows)
        rows.push_back(RowJson(row, table.survey));
    out << JsonDocument(document);
}

}  // namespace

void WriteZoo(const ZooTable& table, bool json, std::ostream& out) {
    if (json)
        WriteJson(table, out);
    else
        WriteText(table, out);
}

}  // namespace qel
