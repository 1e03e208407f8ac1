// Many damaged copies of the real DLL, each loaded and driven in a child process: every one
// is refused with a message or served, none ends in a signal or hangs.
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "host/crossing/guarded_call.h"
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

// Runs every entry; fails for signals, hangs, silent refusals, and loads that had to be refused.
void RunCorpus(const std::vector<CorpusEntry>& corpus, const std::string& name) {
    ht::SharedDll();  // keeps the preferred base taken, so damaged relocations are applied
    const std::string path = ht::WriteTemporary({}, name);
    std::map<int, int> tally;
    for (const CorpusEntry& entry : corpus) {
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(entry.bytes.data(), 1, entry.bytes.size(), file);
        fclose(file);
        const int verdict = Probe(path);
        ++tally[verdict];
        const bool acceptable =
            verdict == kRefused ||
            (!entry.must_refuse && (verdict == kServed || verdict == kCallFaulted));
        EXPECT_TRUE(acceptable) << entry.label << ": " << VerdictName(verdict);
    }
    std::string summary;
    for (const auto& [verdict, count] : tally)
        summary += std::string(VerdictName(verdict)) + " " + std::to_string(count) + "; ";
    testing::Test::RecordProperty("verdicts", summary);
    std::printf("%s: %zu cases: %s\n", name.c_str(), corpus.size(), summary.c_str());
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
