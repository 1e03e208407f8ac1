// An extender loaded in the runner, a process of its own on an emulated processor, and
// driven over its pipes (host/protocol/runner_wire.h). qelhost uses it for --cpu: the
// runner needs nothing the processor model lacks, and the host keeps all of its output.
#pragma once
#include <stdint.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/extender/extender.h"
#include "host/virtual_cpu/cpuid_model.h"

namespace qel {

// What the runner is set up with before it loads the DLL: the virtual processor that answers
// the DLL's CPUID and RDTSC, and the session's clocks.
struct RunnerSetUp {
    std::optional<virtual_cpu::CpuidModel> cpuid;  // none: the emulated processor's CPUID
    uint32_t clock_khz = 0;                        // 0: the emulated processor's RDTSC
    uint64_t timeline_step_ns = 0;                 // 0: real clocks; else one scripted timeline
    uint32_t counter_hz = 10'000'000;              // its performance counter's frequency
};

class RemoteExtender : public Extender {
  public:
    // Starts `command` (the runner, e.g. under qemu-i386 -cpu MODEL) and loads `dll_path` in
    // it. nullptr and *error set when the runner cannot start or refuses the DLL; then *kind
    // too, where asked: the kind of the runner's refusal, kInputOutput when it did not start.
    static std::unique_ptr<RemoteExtender> Start(const std::vector<std::string>& command,
                                                 const std::string& dll_path, std::string* error,
                                                 LoadFailureKind* kind = nullptr,
                                                 const RunnerSetUp& setup = {});
    ~RemoteExtender() override;
    RemoteExtender(const RemoteExtender&) = delete;
    RemoteExtender& operator=(const RemoteExtender&) = delete;

    std::string Description(int32_t* version) override;
    int32_t Handshake(uint32_t host_version, char* buffer) override;
    int32_t Enumerate(int32_t index, void* record56) override;
    Outcome Call(uint32_t function_number, const ArgumentTexts& args = {}) override;
    void set_callback_answer(int32_t answer) override { callback_answer_ = answer; }

    // CPUID leaf `leaf` executed in the runner; false where the processor has no CPUID or
    // does not answer that leaf.
    bool ReadCpuid(uint32_t leaf, uint32_t (&registers)[4]);
    // Emulation settings: "box", "memory" ("-" for the machine's), "laa", "timeout".
    bool Set(const std::string& setting, const std::string& value);
    // A scripted clock ("frequency", "counter", "tick", "mmtime") that answers START,
    // START + STEP, ...; RealClocks() returns every clock to the real one.
    bool ScriptClock(const std::string& clock, uint64_t start, uint64_t step);
    bool RealClocks();

    // Why the last request failed (the DLL code faulted, or the runner ended); "" if it did not.
    const std::string& failure() const { return failure_; }
    // Runs requests as a host session's guard does: false with *failure when one failed.
    bool RunChecked(const std::function<void()>& work, std::string* failure);

  private:
    RemoteExtender() = default;
    // Sends one request and returns the fields of its "ok" answer; false (with failure() or
    // *error set) otherwise.
    bool Request(const std::string& line, std::vector<std::string>* fields,
                 std::string* error = nullptr);
    bool ReadLine(std::string* line);

    pid_t pid_ = -1;
    int to_runner_ = -1;
    int from_runner_ = -1;
    std::string pending_;  // read but not yet consumed
    int32_t callback_answer_ = 0;
    std::string failure_;
};

// Hexadecimal wire form of a text, and back ("" when malformed).
std::string WireText(const std::string& text);
std::string TextFromWire(const std::string& field);

}  // namespace qel
