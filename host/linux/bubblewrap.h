// Confinement from outside the process, for DLL code that runs under qemu-i386: there the
// guest cannot filter its own system calls, so bubblewrap puts qemu itself in namespaces of
// its own, with a read-only view of the file system, no network, its own process ids, and a
// session of its own (no keystrokes pushed into the user's terminal).
#pragma once
#include <string>
#include <vector>

namespace qel {

// $QELHOST_BWRAP, else bwrap on the PATH; empty with *why where there is none.
std::string BubblewrapPath(std::string* why);

// The command that runs `command` inside the sandbox.
std::vector<std::string> InsideBubblewrap(const std::string& bwrap,
                                          const std::vector<std::string>& command);

// True in a qelhost that InsideBubblewrap started (its root is read-only and it was told).
bool RunsInsideBubblewrap();

// Runs `command` inside the sandbox with this process's standard streams and waits for it;
// its exit status, or 1 after a message on stderr when it could not run or was killed.
int RunInsideBubblewrap(const std::string& bwrap, const std::vector<std::string>& command);

}  // namespace qel
