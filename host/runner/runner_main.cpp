// The runner: loads KZPROBEX.dll with the host's own loader and Win32 emulation and serves
// qelhost's requests over standard input and output (host/protocol/runner_wire.h). It is a
// static program for the 80386 without glibc, so it runs on every processor model qemu
// offers, those without CMOV included, where qelhost itself cannot start.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <optional>
#include <string_view>
#include <vector>

#include "host/crossing/guarded_call.h"
#include "host/processor/process_cpuid.h"
#include "host/protocol/extender_module.h"
#include "host/protocol/runner_wire.h"
#include "host/virtual_cpu/cpuid_wire.h"
#include "host/win32/emulation.h"
#include "host/win32/virtual_processor.h"
#include "host/win32/win32_api.h"

namespace qel {
namespace {

LoadedModule module;
bool loaded = false;
unsigned timeout_seconds = 0;

// The fields of one request line.
struct Fields {
    std::vector<std::string_view> items;
    std::string_view operator[](size_t index) const {
        return index < items.size() ? items[index] : std::string_view();
    }
};

Fields Split(std::string_view line) {
    Fields fields;
    while (!line.empty()) {
        const size_t blank = line.find(' ');
        fields.items.push_back(line.substr(0, blank));
        line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    }
    return fields;
}

int64_t Number(std::string_view text) {
    char digits[32] = {};
    text.copy(digits, sizeof digits - 1);
    return strtoll(digits, nullptr, 10);
}

// A text field: nullopt for "-" (a null text), the decoded bytes otherwise.
std::optional<std::vector<char>> Text(std::string_view field) {
    if (field == "-")
        return std::nullopt;
    std::vector<char> bytes(field.size() / 2 + 1, 0);
    wire::DecodeHex(field.data(), field.size() & ~size_t{1},
                    reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

void Answer(const char* line) {
    fputs(line, stdout);
    fputc('\n', stdout);
}

// One answer line: `head` (its fields and their blanks), then `size` bytes in hexadecimal.
void AnswerWithHex(const char* head, const void* bytes, size_t size) {
    std::vector<char> hex(2 * size + 1, 0);
    wire::EncodeHex(bytes, size, hex.data());
    fputs(head, stdout);
    Answer(hex.data());
}

void AnswerWithText(const char* head, std::string_view text) {
    AnswerWithHex(head, text.data(), text.size());
}

// "ok NUMBER " for the answers that carry a number before their bytes.
struct OkHead {
    char text[24];
    explicit OkHead(int32_t number) {
        snprintf(text, sizeof text, "ok %ld ", static_cast<long>(number));
    }
};

std::string_view Terminated(const char* buffer, size_t size) {
    return std::string_view(buffer, strnlen(buffer, size));
}

// Runs DLL code; false after answering "fault TEXT".
bool Guarded(const std::function<void()>& work) {
    BoundedText failure;
    if (RunGuarded(work, timeout_seconds, &failure))
        return true;
    AnswerWithText("fault ", failure.view());
    return false;
}

// A clock that answers START, START + STEP, ... (wrapping like the real counters).
struct SteppingClock {
    uint64_t next;
    uint64_t step;
    uint64_t Read() {
        const uint64_t value = next;
        next += step;
        return value;
    }
};

void ScriptClock(std::string_view name, uint64_t start, uint64_t step) {
    Emulation& settings = emulation();
    if (name == "frequency") {
        settings.counter_frequency = [start](int64_t* value) {
            *value = static_cast<int64_t>(start);
            return start != 0;
        };
        return;
    }
    auto* clock = new SteppingClock{start, step};  // lives as long as the setting
    if (name == "counter") {
        settings.counter = [clock](int64_t* value) {
            *value = static_cast<int64_t>(clock->Read());
            return true;
        };
    } else if (name == "tick") {
        settings.tick_count = [clock] { return static_cast<uint32_t>(clock->Read()); };
    } else {
        settings.multimedia_time = [clock] { return static_cast<uint32_t>(clock->Read()); };
    }
}

void Serve(const Fields& request) {
    const std::string_view verb = request[0];
    if (verb == "load") {
        const auto path = Text(request[1]);
        LoadFailure failure{LoadFailureKind::kInputOutput,
                            loaded ? "a DLL is loaded already" : "no path"};
        if (loaded || !path ||
            !LoadExtenderModule(path->data(), &win32::FindHostFunction, &module, &failure,
                                win32::ServingOf(emulation()))) {
            char head[32];
            snprintf(head, sizeof head, "error %s ", LoadFailureKindName(failure.kind));
            AnswerWithText(head, failure.detail.view());
            return;
        }
        loaded = true;
        Answer("ok");
    } else if (!loaded && (verb == "describe" || verb == "handshake" || verb == "enumerate" ||
                           verb == "call")) {
        AnswerWithText("error ", "no DLL loaded");
    } else if (verb == "describe") {
        char description[kDescriptionSize] = {};
        int32_t version = 0;
        if (Guarded([&] { version = QueryDescription(module.entries, description); })) {
            AnswerWithText(OkHead(version).text, Terminated(description, sizeof description));
        }
    } else if (verb == "handshake") {
        char refusal[kDescriptionSize] = {};
        int32_t returned = 0;
        const auto version = static_cast<uint32_t>(Number(request[1]));
        if (Guarded([&] { returned = Handshake(module.entries, version, refusal); })) {
            AnswerWithText(OkHead(returned).text, Terminated(refusal, sizeof refusal));
        }
    } else if (verb == "enumerate") {
        uint8_t record[kFunctionDescriptorSize] = {};
        int32_t returned = 0;
        const auto index = static_cast<int32_t>(Number(request[1]));
        if (Guarded([&] { returned = Enumerate(module.entries, index, record); })) {
            AnswerWithHex(OkHead(returned).text, record, sizeof record);
        }
    } else if (verb == "call") {
        std::optional<std::vector<char>> texts[kArgumentRecordCount];
        const char* arguments[kArgumentRecordCount] = {};
        for (int i = 0; i < kArgumentRecordCount; ++i) {
            texts[i] = Text(request[3 + i].empty() ? "-" : request[3 + i]);
            arguments[i] = texts[i] ? texts[i]->data() : nullptr;
        }
        const auto number = static_cast<uint32_t>(Number(request[1]));
        const auto answer = static_cast<int32_t>(Number(request[2]));
        CallRecord record;
        if (Guarded([&] { record = CallFunction(module.entries, number, arguments, answer); })) {
            char head[96];
            snprintf(head, sizeof head, "ok %ld %d %ld %ld %ld %d ",
                     static_cast<long>(record.returned), record.callbacks,
                     static_cast<long>(record.status), static_cast<long>(record.result_type),
                     static_cast<long>(record.value), record.arguments_handed_back ? 1 : 0);
            AnswerWithText(head, record.text.view());
        }
    } else if (verb == "cpuid") {
        uint32_t registers[4] = {};
        const auto leaf = static_cast<uint32_t>(Number(request[1]));
        if (const auto& model = emulation().cpuid_model) {
            const virtual_cpu::CpuidAnswer answer = model->Answer(leaf, 0);
            const uint32_t highest = model->Answer(leaf & 0xFFFF0000u, 0).eax;
            if (leaf > highest)
                return Answer("none");
            registers[0] = answer.eax;
            registers[1] = answer.ebx;
            registers[2] = answer.ecx;
            registers[3] = answer.edx;
        } else if (!ReadThisProcessCpuid(leaf, registers)) {
            Answer("none");
            return;
        }
        printf("ok %lu %lu %lu %lu\n", static_cast<unsigned long>(registers[0]),
               static_cast<unsigned long>(registers[1]), static_cast<unsigned long>(registers[2]),
               static_cast<unsigned long>(registers[3]));
    } else if (verb == "set") {
        Emulation& settings = emulation();
        const std::string_view what = request[1];
        if (what == "box") {
            settings.box_answer = static_cast<int>(Number(request[2]));
        } else if (what == "memory") {
            settings.memory_bytes =
                request[2] == "-"
                    ? std::nullopt
                    : std::optional<uint64_t>(static_cast<uint64_t>(Number(request[2])));
        } else if (what == "laa") {
            settings.large_address_aware = Number(request[2]) != 0;
        } else if (what == "timeout") {
            timeout_seconds = static_cast<unsigned>(Number(request[2]));
        } else if (what == "tickstep") {
            settings.tick_step_microseconds = static_cast<uint32_t>(Number(request[2]));
        } else if (what == "timestep") {
            settings.multimedia_step_microseconds = static_cast<uint32_t>(Number(request[2]));
        }
        Answer("ok");
    } else if (verb == "virtual") {
        Emulation& settings = emulation();
        if (request[1] == "clock") {
            settings.time_stamp_khz = static_cast<uint32_t>(Number(request[2]));
        } else {
            std::vector<uint32_t> words;
            for (size_t i = 2; i < request.items.size(); ++i)
                words.push_back(static_cast<uint32_t>(Number(request[i])));
            virtual_cpu::CpuidModel model;
            if (!virtual_cpu::ReadCpuidWire(words, &model))
                return AnswerWithText("error ", "malformed CPUID model");
            settings.cpuid_model = model;
        }
        Answer("ok");
    } else if (verb == "clock") {
        if (request[1] == "timeline") {
            ScriptedTimeline timeline;
            timeline.step_ns = static_cast<uint64_t>(Number(request[2]));
            timeline.counter_hz = static_cast<uint32_t>(Number(request[3]));
            emulation().timeline = timeline;
        } else if (request[1] == "real") {
            Emulation& settings = emulation();
            settings.timeline.reset();
            settings.counter_frequency = nullptr;
            settings.counter = nullptr;
            settings.tick_count = nullptr;
            settings.multimedia_time = nullptr;
        } else {
            ScriptClock(request[1], static_cast<uint64_t>(Number(request[2])),
                        static_cast<uint64_t>(Number(request[3])));
        }
        Answer("ok");
    } else {
        Answer("error 756e6b6e6f776e2072657175657374");  // "unknown request"
    }
}

}  // namespace
}  // namespace qel

int main() {
    qel::win32::ServeVirtualProcessor();
    char* line = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, stdin)) > 0) {
        std::string_view request(line, static_cast<size_t>(length));
        while (!request.empty() && (request.back() == '\n' || request.back() == '\r'))
            request.remove_suffix(1);
        if (request == "quit")
            break;
        qel::Serve(qel::Split(request));
        fflush(stdout);
    }
    free(line);
    if (qel::loaded)
        qel::UnloadExtenderModule(&qel::module);
    return 0;
}
