// KZPROBEX.dll as the QEL host uses it: loaded, then driven through its two exports.
// On Linux the host maps the PE image itself (host/linux over host/loader); the Windows
// build of the host uses LoadLibrary (host/windows). For an emulated processor the DLL lives
// in a runner process (host/remote) behind the same interface.
#pragma once
#include <stdint.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/loader/load_failure.h"
#include "host/protocol/extender_protocol.h"

namespace qel {

struct Outcome {              // one script function call
    int32_t returned = 0;     // what _QELExtender2@40 returned
    int callbacks = 0;        // how often HostCallback ran (must be exactly 1)
    int32_t status = 0;       // callback status: 0 value, -1 error
    int32_t result_type = 0;  // ResultRecord offset 28 (1 value, 2 text)
    int32_t value = 0;        // ResultRecord offset 24
    std::string text;         // text at offset 32 (after an error)
    // The callback received the host context, HostInfo and ResultRecord it was given.
    bool arguments_handed_back = false;
};

Outcome ToOutcome(const CallRecord& record);

// One row of the function table as enumeration hands it over.
struct FunctionRow {
    int32_t identifier = 0;
    int32_t kind = 0;
    uint64_t argument_types = 0;
    int32_t argument_count = 0;
    int16_t name_length = 0;
    std::string name;
};

FunctionRow DecodeFunctionRow(const uint8_t (&record)[kFunctionDescriptorSize]);

using ArgumentTexts = std::vector<std::optional<std::string>>;  // nullopt = null

// What a host session drives: the extender's calls, wherever the DLL is loaded.
class Extender {
  public:
    virtual ~Extender() = default;
    // Query code 1: the description; *version receives the answer.
    virtual std::string Description(int32_t* version) = 0;
    // Request -1 with HostInfo announcing `host_version`; `buffer` (64 bytes or more)
    // receives the refusal text.
    virtual int32_t Handshake(uint32_t host_version, char* buffer) = 0;
    // Request -2 for row `index` into a 56-byte record (or null).
    virtual int32_t Enumerate(int32_t index, void* record56) = 0;
    // function number (all 32 bits passed) and up to five argument texts (nullopt = null).
    virtual Outcome Call(uint32_t function_number, const ArgumentTexts& args = {}) = 0;
    // What HostCallback returns to the library (and so what Call's `returned` becomes).
    virtual void set_callback_answer(int32_t answer) = 0;

    std::vector<FunctionRow> Functions();  // every row until enumeration answers 0
};

class ExtenderDll : public Extender {
  public:
    // nullptr and *error set (naming the problem), *kind too where asked, when the file
    // cannot be loaded. Each build of the host defines it (host/linux, host/windows).
    static std::unique_ptr<ExtenderDll> Load(const std::string& path, std::string* error,
                                             LoadFailureKind* kind = nullptr);
    ~ExtenderDll() override;
    ExtenderDll(const ExtenderDll&) = delete;
    ExtenderDll& operator=(const ExtenderDll&) = delete;

    int32_t Query(uint32_t code, void* pointer, int32_t count);  // _QELExtenderQuery@12
    int32_t Dispatch(uint32_t a1, uint32_t a2, uint32_t a3, uint32_t a4, uint32_t a5, uint32_t a6,
                     uint32_t a7, uint32_t a8, uint32_t a9, uint32_t a10);  // raw

    std::string Description(int32_t* version) override;
    int32_t Handshake(uint32_t host_version, char* buffer) override;
    int32_t Enumerate(int32_t index, void* record56) override;
    Outcome Call(uint32_t function_number, const ArgumentTexts& args = {}) override;
    void set_callback_answer(int32_t answer) override { callback_answer_ = answer; }
    void* module_handle() const { return module_handle_; }

  private:
    struct Mapping;  // whatever keeps the module loaded; freed by the destructor
    ExtenderDll() = default;

    Mapping* mapping_ = nullptr;
    void* module_handle_ = nullptr;
    ExtenderEntries entries_;
    int32_t callback_answer_ = 0;
};

// ExtenderDll::Load of this build as an opener of any Extender (HostPlatform::open_dll).
inline std::unique_ptr<Extender> OpenExtenderDll(const std::string& path, std::string* error) {
    return ExtenderDll::Load(path, error);
}

}  // namespace qel
