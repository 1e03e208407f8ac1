// The one line at the bottom of a terminal that says what qelhost is busy with, and whether
// standard error is a terminal to show it on.
#pragma once
#include <iosfwd>
#include <string>

#include "host/cli/session.h"

namespace qel {

bool StandardErrorIsTerminal();

// Writes to `terminal`, or nothing at all when it is null (output that is not a terminal
// gets no progress and no escape codes).
class StatusLine {
  public:
    explicit StatusLine(std::ostream* terminal) : terminal_(terminal) {}
    // Puts `text` after what the line holds; Clear() first to start it afresh.
    void Show(const std::string& text);
    // Empties the line and returns the cursor to its start.
    void Clear();

  private:
    std::ostream* terminal_;
};

// Shows "name(args): measuring..." on the terminal while a blocking call runs.
class MeasuringLine : public BlockingCallWatcher {
  public:
    explicit MeasuringLine(std::ostream* terminal) : line_(terminal) {}
    void Started(const std::string& name, const ArgumentList& arguments) override {
        line_.Show(CallText(name, arguments) + ": measuring...");
    }
    void Ended() override { line_.Clear(); }

  private:
    StatusLine line_;
};

}  // namespace qel
