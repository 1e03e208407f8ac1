// A loaded DLL with its function table, and how one call through it is run.
#pragma once
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "host/cli/script.h"
#include "host/extender/extender.h"

namespace qel {

// Told when a call that blocks for a while starts and ends, so a terminal can say what runs.
class BlockingCallWatcher {
  public:
    virtual ~BlockingCallWatcher() = default;
    virtual void Started(const std::string& name, const ArgumentList& arguments) = 0;
    virtual void Ended() = 0;
};

// Runs DLL code; false with *failure when it crashed (the Linux host catches the signal).
using Guard = std::function<bool(const std::function<void()>&, std::string* failure)>;

struct Session {
    Extender* dll = nullptr;
    Guard guard;
    BlockingCallWatcher* watcher = nullptr;  // may be null
    // CPUID as the host reads it on the processor the DLL runs on (not through the DLL);
    // false when there is none. May be empty.
    std::function<bool(uint32_t leaf, uint32_t regs[4])> read_cpuid;
    std::string description;
    int32_t version = 0;
    int32_t handshake = 0;
    std::vector<FunctionRow> functions;
};

struct CallResult {
    int line = 0;
    std::string name;
    int32_t number = 0;
    ArgumentList arguments;
    Outcome outcome;
    std::string failure;  // non-empty: the DLL crashed in the call
    double seconds = -1;  // how long a blocking call (ccpuspeed, ccpubenchmark) took; else -1
};

// Query code 1, the handshake and the enumeration, as the QEL host starts. False with
// *error when the DLL crashed or refused the handshake.
bool StartSession(Session* session, std::string* error);

// The row of the function named `name` (any case), or null.
const FunctionRow* FindFunction(const Session& session, const std::string& name);

CallResult RunCall(Session& session, const FunctionRow& function, const ArgumentList& arguments);

// The error number at the start of a message ("17101: ..."), or -1 when it has none.
int32_t ErrorNumber(const std::string& message);

}  // namespace qel
