// qelhost's session runs in a child process that qelhost watches. DLL code shares the
// session's process and can end it in ways no signal handler sees: a raw exit system call, a
// kill, an emulator that aborts on the instruction, a write that wrecks the host's own
// memory. Whatever happens there, qelhost itself ends with a message and status 1.
#pragma once
#include <functional>
#include <ostream>

namespace qel {

// Runs `session` in a child process and returns the status qelhost should exit with: the
// session's own status when it finished, else 1 after a message on `err`. A signal sent from
// outside (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGKILL) ends qelhost the same way.
int RunSupervised(const std::function<int()>& session, std::ostream& err);

}  // namespace qel
