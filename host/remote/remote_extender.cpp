#include "host/remote/remote_extender.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "host/protocol/runner_wire.h"
#include "host/remote/inherited_descriptors.h"
#include "host/virtual_cpu/cpuid_wire.h"

namespace qel {
namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ' '))
        fields.push_back(field);
    return fields;
}

int64_t Number(const std::vector<std::string>& fields, size_t index) {
    return index < fields.size() ? strtoll(fields[index].c_str(), nullptr, 10) : 0;
}

std::string Field(const std::vector<std::string>& fields, size_t index) {
    return index < fields.size() ? fields[index] : std::string();
}

bool WriteAll(int descriptor, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(descriptor, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// The requests that set the runner up, in the order they must reach it.
std::vector<std::string> SetUpRequests(const RunnerSetUp& setup) {
    std::vector<std::string> requests;
    if (setup.cpuid) {
        std::vector<uint32_t> words(virtual_cpu::kCpuidWireMaxWords);
        words.resize(virtual_cpu::WriteCpuidWire(*setup.cpuid, words));
        std::string line = "virtual cpuid";
        for (uint32_t word : words)
            line += " " + std::to_string(word);
        requests.push_back(line);
    }
    if (setup.clock_khz != 0)
        requests.push_back("virtual clock " + std::to_string(setup.clock_khz));
    if (setup.timeline_step_ns != 0)
        requests.push_back("clock timeline " + std::to_string(setup.timeline_step_ns) + " " +
                           std::to_string(setup.counter_hz));
    return requests;
}

}  // namespace

std::string WireText(const std::string& text) {
    std::string hex(2 * text.size(), '0');
    wire::EncodeHex(text.data(), text.size(), hex.data());
    return text.empty() ? std::string() : hex;
}

std::string TextFromWire(const std::string& field) {
    std::string bytes(field.size() / 2, '\0');
    if (!wire::DecodeHex(field.data(), field.size(), reinterpret_cast<uint8_t*>(bytes.data())))
        return std::string();
    return bytes;
}

std::unique_ptr<RemoteExtender> RemoteExtender::Start(const std::vector<std::string>& command,
                                                      const std::string& dll_path,
                                                      std::string* error, LoadFailureKind* kind,
                                                      const RunnerSetUp& setup) {
    if (kind != nullptr)
        *kind = LoadFailureKind::kInputOutput;
    // A runner that dies must not take the host with it on the next write.
    signal(SIGPIPE, SIG_IGN);
    int requests[2], answers[2];
    if (command.empty() || pipe2(requests, O_CLOEXEC) != 0) {
        *error = "cannot start the runner";
        return nullptr;
    }
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(requests[0]);
        close(requests[1]);
        *error = "cannot start the runner";
        return nullptr;
    }
    std::vector<char*> argv;
    std::vector<std::string> parts = command;
    for (std::string& part : parts)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(requests[0], STDIN_FILENO);
        dup2(answers[1], STDOUT_FILENO);
        CloseInheritedDescriptors();
        execvp(argv[0], argv.data());
        dprintf(STDERR_FILENO, "qelhost: cannot run %s: %s\n", argv[0], strerror(errno));
        _exit(127);
    }
    close(requests[0]);
    close(answers[1]);
    std::unique_ptr<RemoteExtender> remote(new RemoteExtender());
    remote->pid_ = pid;
    remote->to_runner_ = requests[1];
    remote->from_runner_ = answers[0];
    if (pid < 0) {
        *error = "cannot start the runner";
        return nullptr;
    }
    std::vector<std::string> fields;
    for (const std::string& request : SetUpRequests(setup)) {
        if (!remote->Request(request, &fields, error))
            return nullptr;
    }
    if (!remote->Request("load " + WireText(dll_path), &fields, error)) {
        // A refusal: "error KIND TEXT".
        if (Field(fields, 0) == "error") {
            *error = TextFromWire(Field(fields, 2));
            if (kind != nullptr)
                *kind = LoadFailureKindNamed(Field(fields, 1));
        }
        return nullptr;
    }
    return remote;
}

RemoteExtender::~RemoteExtender() {
    if (to_runner_ >= 0) {
        WriteAll(to_runner_, "quit\n");
        close(to_runner_);
    }
    if (from_runner_ >= 0)
        close(from_runner_);
    if (pid_ > 0) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool RemoteExtender::ReadLine(std::string* line) {
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            *line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        char chunk[4096];
        const ssize_t got = read(from_runner_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        pending_.append(chunk, static_cast<size_t>(got));
    }
}

bool RemoteExtender::Request(const std::string& line, std::vector<std::string>* fields,
                             std::string* error) {
    std::string answer;
    if (!WriteAll(to_runner_, line + "\n") || !ReadLine(&answer)) {
        failure_ = "ended the runner (it stopped answering)";
        if (error != nullptr)
            *error = "the runner ended without answering";
        return false;
    }
    *fields = Split(answer);
    const std::string kind = Field(*fields, 0);
    if (kind == "ok" || kind == "none")
        return kind == "ok";
    const std::string text = TextFromWire(Field(*fields, 1));
    if (kind == "fault")
        failure_ = text;
    if (error != nullptr)
        *error = text;
    return false;
}

std::string RemoteExtender::Description(int32_t* version) {
    std::vector<std::string> fields;
    if (!Request("describe", &fields))
        return std::string();
    if (version != nullptr)
        *version = static_cast<int32_t>(Number(fields, 1));
    return TextFromWire(Field(fields, 2));
}

int32_t RemoteExtender::Handshake(uint32_t host_version, char* buffer) {
    std::vector<std::string> fields;
    if (!Request("handshake " + std::to_string(host_version), &fields))
        return 0;
    if (buffer != nullptr) {
        const std::string refusal = TextFromWire(Field(fields, 2));
        memcpy(buffer, refusal.c_str(), refusal.size() + 1);
    }
    return static_cast<int32_t>(Number(fields, 1));
}

int32_t RemoteExtender::Enumerate(int32_t index, void* record56) {
    std::vector<std::string> fields;
    if (!Request("enumerate " + std::to_string(index), &fields))
        return 0;
    const std::string record = TextFromWire(Field(fields, 2));
    if (record56 != nullptr && record.size() == kFunctionDescriptorSize)
        memcpy(record56, record.data(), record.size());
    return static_cast<int32_t>(Number(fields, 1));
}

Outcome RemoteExtender::Call(uint32_t function_number, const ArgumentTexts& args) {
    std::string line =
        "call " + std::to_string(function_number) + " " + std::to_string(callback_answer_);
    for (size_t index = 0; index < kArgumentRecordCount; ++index) {
        const bool present = index < args.size() && args[index];
        // An empty text is present, not null: it travels as a lone NUL.
        line += " " + (present ? WireText(*args[index] + '\0') : std::string("-"));
    }
    Outcome outcome;
    std::vector<std::string> fields;
    if (!Request(line, &fields))
        return outcome;
    outcome.returned = static_cast<int32_t>(Number(fields, 1));
    outcome.callbacks = static_cast<int>(Number(fields, 2));
    outcome.status = static_cast<int32_t>(Number(fields, 3));
    outcome.result_type = static_cast<int32_t>(Number(fields, 4));
    outcome.value = static_cast<int32_t>(Number(fields, 5));
    outcome.arguments_handed_back = Number(fields, 6) != 0;
    outcome.text = TextFromWire(Field(fields, 7));
    return outcome;
}

bool RemoteExtender::RunChecked(const std::function<void()>& work, std::string* failure) {
    failure_.clear();
    work();
    *failure = failure_;
    return failure->empty();
}

bool RemoteExtender::ReadCpuid(uint32_t leaf, uint32_t (&registers)[4]) {
    std::vector<std::string> fields;
    if (!Request("cpuid " + std::to_string(leaf), &fields))
        return false;
    for (size_t i = 0; i < 4; ++i)
        registers[i] = static_cast<uint32_t>(Number(fields, i + 1));
    return true;
}

bool RemoteExtender::Set(const std::string& setting, const std::string& value) {
    std::vector<std::string> fields;
    return Request("set " + setting + " " + value, &fields);
}

bool RemoteExtender::ScriptClock(const std::string& clock, uint64_t start, uint64_t step) {
    std::vector<std::string> fields;
    return Request("clock " + clock + " " + std::to_string(start) + " " + std::to_string(step),
                   &fields);
}

bool RemoteExtender::RealClocks() {
    std::vector<std::string> fields;
    return Request("clock real", &fields);
}

}  // namespace qel
