#include "host/linux/survey.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "host/cli/output/terminal.h"
#include "host/cli/output/zoo_output.h"
#include "host/linux/listing_text.h"
#include "host/linux/zoo.h"
#include "host/processor/process_cpuid.h"
#include "host/processor/processor_catalogue.h"
#include "host/remote/catalogue_setup.h"
#include "host/virtual_cpu/cpuid_dump.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
namespace vc = virtual_cpu;

std::string VendorOf(const vc::CpuidModel& model) {
    const vc::CpuidAnswer leaf0 = model.Answer(0, 0);
    char vendor[12];
    for (int byte = 0; byte < 4; ++byte) {
        vendor[byte] = static_cast<char>(leaf0.ebx >> (8 * byte));
        vendor[4 + byte] = static_cast<char>(leaf0.edx >> (8 * byte));
        vendor[8 + byte] = static_cast<char>(leaf0.ecx >> (8 * byte));
    }
    return std::string(vendor, sizeof vendor);
}

bool HasTimeStampCounter(const vc::CpuidModel& model) {
    uint32_t leaf1[4] = {};
    return ReadModelCpuid(model, 1, leaf1) && (leaf1[3] & kFeatureTimeStampCounter) != 0;
}

// The session's calls on one processor block of a listing, read without fault.
void RunListing(const vc::CpuidDump& dump, const ListingStarter& start,
                const SurveySettings& settings, uint32_t* host_khz, ZooRow* row) {
    vc::CpuidModel model;
    for (const vc::CpuidRecord& record : dump.records)
        model.Add(record);
    row->vendor = VendorOf(model);
    row->clock_khz = dump.recorded_clock_khz;
    if (row->clock_khz == 0) {
        if (*host_khz == UINT32_MAX)
            *host_khz = settings.host_clock_khz ? settings.host_clock_khz() : 0;
        row->clock_khz = *host_khz;
        row->clock_of_host = true;
    }
    if (row->clock_khz == 0) {
        row->problem = "the listing records no clock rate and this machine's could not be measured";
        return;
    }
    std::string error;
    OpenedExtender opened =
        start(ProcessorSetUp(model, row->clock_khz, settings.scripted_clocks), &error);
    if (!opened.extender) {
        row->problem = error;
        return;
    }
    Session session;
    session.dll = opened.extender.get();
    session.guard = opened.guard;
    if (!StartSession(&session, &error)) {
        row->problem = error;
        return;
    }
    RunZooCalls(session, HasTimeStampCounter(model), row);
}

}  // namespace

bool ListingFiles(const std::vector<std::string>& paths, std::vector<std::string>* files,
                  std::string* error) {
    for (const std::string& path : paths) {
        std::error_code failure;
        if (fs::is_regular_file(path, failure)) {
            files->push_back(path);
            continue;
        }
        if (!fs::is_directory(path, failure)) {
            *error = "--cpuid " + path + ": no such listing or folder";
            return false;
        }
        std::vector<std::string> found;
        // Links to folders are not followed: a link back up would never end.
        fs::recursive_directory_iterator walk(path, failure);
        for (; !failure && walk != fs::recursive_directory_iterator(); walk.increment(failure)) {
            if (walk->is_regular_file(failure))
                found.push_back(walk->path().string());
        }
        if (failure) {
            *error = "--cpuid " + path + ": cannot read the folder: " + failure.message();
            return false;
        }
        std::sort(found.begin(), found.end());
        files->insert(files->end(), found.begin(), found.end());
    }
    return true;
}

bool PrintSurvey(const std::vector<std::string>& files, const ListingStarter& start,
                 const SurveySettings& settings, std::ostream& out) {
    ZooTable table;
    table.survey = true;
    table.scripted_clocks = settings.scripted_clocks;
    uint32_t host_khz = UINT32_MAX;  // not measured yet
    bool clean = true;
    StatusLine status(settings.progress);
    for (size_t index = 0; index < files.size(); ++index) {
        const std::string& file = files[index];
        status.Clear();
        status.Show("survey " + std::to_string(index + 1) + "/" + std::to_string(files.size()) +
                    ": " + file + "...");
        std::string why;
        const std::optional<std::string> text = ReadListingText(file, &why);
        uint32_t block = settings.all_processors ? 0 : settings.processor;
        uint32_t blocks = block + 1;
        for (; block < blocks; ++block) {
            ZooRow& row = table.rows.emplace_back();
            row.name = file;
            if (settings.all_processors)
                row.block = block;
            if (!text) {
                row.problem = why.empty() ? "cannot read the listing" : why;
                break;
            }
            const vc::DumpReading reading = vc::ReadCpuidDump(*text, block);
            if (!reading.dump) {
                row.problem =
                    "line " + std::to_string(reading.error.line) + ": " + reading.error.message;
                break;
            }
            if (settings.all_processors)
                blocks = reading.dump->processor_count;
            RunListing(*reading.dump, start, settings, &host_khz, &row);
            // A listing that is read but cannot run, or a fault of the DLL on it.
            if (!row.problem.empty()) {
                clean = false;
                if (settings.faults != nullptr)
                    *settings.faults << "qelhost: " << file << ": " << row.problem << "\n";
            }
        }
    }
    status.Clear();
    table.host_clock_khz = host_khz == UINT32_MAX ? 0 : host_khz;
    WriteZoo(table, settings.json, out);
    return clean;
}

}  // namespace qel
