// Many damaged copies of the real DLL. Every copy goes through the loader in this process: it
// is refused with a kind and a reason, or mapped and unmapped again, and a copy that cannot be
// whole is refused. Containing the faults of damaged code is what the rest is about: a few
// mapped copies of each kind of damage are loaded and driven in a child process each, and
// every one of those is refused with a message or served, none ends in a signal or hangs.
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "host/crossing/guarded_call.h"
#include "host/loader/dll_loading.h"
#include "host/loader/resources.h"
#include "host/protocol/extender_protocol.h"
#include "host/win32/win32_api.h"
#include "resources/messages.h"
#include "tests/support/dll_file.h"
#include "tests/support/shared_dll.h"

namespace {

namespace ht = host_test;
using ht::Bytes;

enum Verdict : int {
    kServed = 0,         // loaded, and the calls through it completed
    kRefused = 1,        // refused with a message
    kCallFaulted = 3,    // loaded, then a call faulted and the guard turned it into a message
    kSilentRefusal = 4,  // refused without saying why
    kHang = 99,
    kSignal = 100,  // plus the signal number
};

const char* VerdictName(int verdict) {
    static const std::map<int, const char*> kNames = {{kServed, "served"},
                                                      {kRefused, "refused"},
                                                      {kCallFaulted, "call faulted (caught)"},
                                                      {kSilentRefusal, "refused without a message"},
                                                      {kSignal, "killed by a signal"},
                                                      {kHang, "hung"}};
    const auto found = kNames.find(verdict);
    if (found != kNames.end())
        return found->second;
    return verdict > kSignal ? strsignal(verdict - kSignal) : "unexpected exit status";
}

constexpr int kChildTimeoutMilliseconds = 30000;

// Loads the file in a child and drives it as qelhost does; the parent watches the child.
int Probe(const std::string& path) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        qel::emulation().print_boxes = false;
        std::string error;
        auto dll = qel::ExtenderDll::Load(path, &error);
        if (!dll)
            _exit(error.empty() ? kSilentRefusal : kRefused);
        qel::BoundedText failure;
        const bool completed = qel::RunGuarded(
            [&] {
                int32_t version = 0;
                char refusal[64] = {};
                dll->Description(&version);
                dll->Handshake(qel::kHostVersion, refusal);
                dll->Functions();
                dll->Call(1, {"0"});
                dll->Call(1, {"abc"});  // an error text from the string table
                dll->Call(7);
                dll->Call(10);
            },
            10, &failure);
        _exit(completed ? kServed : kCallFaulted);
    }
    for (int waited = 0; waited < kChildTimeoutMilliseconds; ++waited) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            if (WIFSIGNALED(status))
                return kSignal;
            return WEXITSTATUS(status);
        }
        usleep(1000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return kHang;
}

struct CorpusEntry {
    std::string label;
    Bytes bytes;
    bool must_refuse;
};

// The resources the DLL's calls look up: the string blocks of the description (1000) and of
// the error texts (17100 to 17103), and the version resource.
constexpr uint32_t kStringResourceType = 6, kVersionResourceType = 16;
void LookUpResources(const qel::MappedImage& image) {
    for (uint32_t id : {KZ_MSG_DESCRIPTION, KZ_MSG_INVALID_VERSION, KZ_MSG_BENCHMARK_LOOP})
        qel::FindResourceData(image.bytes(), image.headers.resources, kStringResourceType,
                              (id >> 4) + 1);
    qel::FindResourceData(image.bytes(), image.headers.resources, kVersionResourceType, 1);
}

// The loader alone, as ExtenderDll::Load runs it before DllMain: mapped with the imports
// bound to the Win32 emulation, both exports found in code, the resources looked up,
// unmapped. False where refused; a refusal without a kind or a reason fails the test.
bool MapsInProcess(const CorpusEntry& entry) {
    qel::MappedImage image;
    qel::LoadFailure failure;
    uint32_t rva = 0;
    bool mapped = qel::MapImage(entry.bytes, &qel::win32::FindHostFunction, &image, &failure);
    if (mapped) {
        mapped = qel::FindCodeExport(image, qel::kDispatchName, &rva, &failure) &&
                 qel::FindCodeExport(image, qel::kQueryName, &rva, &failure);
        LookUpResources(image);
        qel::UnmapImage(&image);
    }
    if (!mapped) {
        EXPECT_NE(failure.kind, qel::LoadFailureKind::kNone) << entry.label;
        EXPECT_FALSE(failure.detail.view().empty()) << entry.label << ": refused without a reason";
    }
    return mapped;
}

// How many of the mapped copies of one kind of damage are driven in a child process.
constexpr size_t kCopiesDrivenPerKind = 12;

// Every entry through the loader; then a few of those that mapped, spread evenly over the
// corpus, loaded and driven in a child each. Fails for loads that had to be refused, and for
// signals, hangs and silent refusals of the driven copies.
void RunCorpus(const std::vector<CorpusEntry>& corpus, const std::string& name) {
    ht::SharedDll();  // keeps the preferred base taken, so damaged relocations are applied
    std::vector<const CorpusEntry*> mapped;
    for (const CorpusEntry& entry : corpus) {
        if (!MapsInProcess(entry))
            continue;
        EXPECT_FALSE(entry.must_refuse) << entry.label << ": mapped, and cannot be whole";
        mapped.push_back(&entry);
    }
    const std::string path = ht::WriteTemporary({}, name);
    std::map<int, int> tally;
    const size_t driven = std::min(mapped.size(), kCopiesDrivenPerKind);
    for (size_t index = 0; index < driven; ++index) {
        const CorpusEntry& entry = *mapped[index * mapped.size() / driven];
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(entry.bytes.data(), 1, entry.bytes.size(), file);
        fclose(file);
        const int verdict = Probe(path);
        ++tally[verdict];
        EXPECT_TRUE(verdict == kRefused || verdict == kServed || verdict == kCallFaulted)
            << entry.label << ": " << VerdictName(verdict);
    }
    std::string summary;
    for (const auto& [verdict, count] : tally)
        summary += std::string(VerdictName(verdict)) + " " + std::to_string(count) + "; ";
    testing::Test::RecordProperty("verdicts", summary);
    std::printf("%s: %zu copies, %zu mapped, %zu driven: %s\n", name.c_str(), corpus.size(),
                mapped.size(), driven, summary.c_str());
}

uint32_t EndOfSectionData() {
    uint32_t end = 0;
    for (const qel::Section& section : ht::DllHeaders().sections) {
        end = std::max(end, section.raw_offset + section.raw_size);
    }
    return end;
}

TEST(DamagedCorpus, TruncationsAreRefused) {
    const Bytes& whole = ht::DllBytes();
    std::vector<uint32_t> lengths = {0, 1, 2, 0x3B, 0x3C, 0x3F, 0x40};
    for (uint32_t length = 0x40; length < ht::SectionTableEnd() + 16; length += 4)
        lengths.push_back(length);
    for (uint32_t length = ht::SectionTableEnd() + 16; length < whole.size(); length += 61)
        lengths.push_back(length);
    lengths.push_back(static_cast<uint32_t>(whole.size()) - 1);
    std::vector<CorpusEntry> corpus;
    for (uint32_t length : lengths) {
        // Cut into the sections' data, the file cannot load; the symbol table after it is optional.
        corpus.push_back({"length " + std::to_string(length),
                          Bytes(whole.begin(), whole.begin() + length),
                          length < EndOfSectionData()});
    }
    RunCorpus(corpus, "truncated");
}

std::vector<CorpusEntry> Flips(uint32_t first, uint32_t end, std::initializer_list<uint8_t> masks,
                               const std::string& area) {
    std::vector<CorpusEntry> corpus;
    for (uint32_t offset = first; offset < end; ++offset) {
        for (uint8_t mask : masks) {
            Bytes bytes = ht::DllBytes();
            bytes[offset] ^= mask;
            corpus.push_back(
                {area + " byte " + std::to_string(offset) + " ^ " + std::to_string(mask), bytes,
                 false});
        }
    }
    return corpus;
}

TEST(DamagedCorpus, FlippedHeaderBytesNeverCrash) {
    RunCorpus(Flips(0, ht::SectionTableEnd(), {0xFF, 0x01, 0x80}, "header"), "headers");
}

class DirectoryFlips : public testing::TestWithParam<int> {};

TEST_P(DirectoryFlips, NeverCrash) {
    const qel::PeHeaders& headers = ht::DllHeaders();
    const qel::DataDirectory directories[] = {headers.exports, headers.imports, headers.resources,
                                              headers.relocations};
    static const char* const kNames[] = {"exports", "imports", "resources", "relocations"};
    const qel::DataDirectory directory = directories[GetParam()];
    ASSERT_TRUE(directory.present());
    const uint32_t first = ht::FileOffsetOfRva(directory.rva);
    RunCorpus(Flips(first, first + directory.size, {0xFF, 0x10}, kNames[GetParam()]),
              kNames[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(Directories, DirectoryFlips, testing::Range(0, 4));

}  // namespace
