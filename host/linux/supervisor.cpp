#include "host/linux/supervisor.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "host/crossing/entered_export.h"
#include "host/linux/system_call_filter.h"

namespace qel {
namespace {

// Shared with the child: the export it was inside when it ended. The DLL can write here like
// anywhere else in the child, so the parent reads it as untrusted bytes.
struct SessionTrace {
    char entered_export[64];
};

bool IsSentFromOutside(int signal_number) {
    switch (signal_number) {
        case SIGINT:
        case SIGTERM:
        case SIGHUP:
        case SIGQUIT:
        case SIGPIPE:
        case SIGKILL:
            return true;
        default:
            return false;
    }
}

// " in _QELExtender2@40", or nothing when no export was entered or the trace is garbage.
std::string EnteredExportText(const SessionTrace& trace) {
    std::string name;
    for (char c : trace.entered_export) {
        if (c == 0)
            break;
        if (c < 0x21 || c > 0x7E)
            return {};
        name += c;
    }
    return name.size() < sizeof trace.entered_export && !name.empty() ? " in " + name
                                                                      : std::string();
}

std::string SignalText(int signal_number) {
    std::string text = "signal " + std::to_string(signal_number);
    if (const char* abbreviation = sigabbrev_np(signal_number); abbreviation != nullptr)
        text += std::string(" (SIG") + abbreviation + ")";
    return text;
}

[[noreturn]] void RunChild(const std::function<int()>& session, int status_pipe,
                           SessionTrace* trace) {
    // Ends with qelhost, whatever ends qelhost.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A process that DLL code brings down leaves no core file behind.
    struct rlimit core {};
    if (getrlimit(RLIMIT_CORE, &core) == 0) {
        core.rlim_cur = 0;
        setrlimit(RLIMIT_CORE, &core);
    }
    MirrorEnteredExport(trace->entered_export, sizeof trace->entered_export);
    AllowWritesTo(status_pipe);
    const int status = session();
    std::cout.flush();
    std::cerr.flush();
    // Saying the status proves the session finished: DLL code that exits cannot say it.
    const unsigned char said = static_cast<unsigned char>(status);
    while (write(status_pipe, &said, 1) < 0 && errno == EINTR) {
    }
    exit(status);
}

}  // namespace

int RunSupervised(const std::function<int()>& session, std::ostream& err) {
    int status_pipe[2];
    void* shared = mmap(nullptr, sizeof(SessionTrace), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED)
        return session();  // no room to watch from: run unwatched
    if (pipe2(status_pipe, O_CLOEXEC) != 0) {
        munmap(shared, sizeof(SessionTrace));
        return session();
    }
    auto* trace = static_cast<SessionTrace*>(shared);
    memset(trace, 0, sizeof *trace);
    std::cout.flush();
    std::cerr.flush();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        close(status_pipe[0]);
        if (getppid() != parent)  // qelhost ended before the child could ask to follow it
            _exit(1);
        RunChild(session, status_pipe[1], trace);
    }
    close(status_pipe[1]);
    if (child < 0) {
        close(status_pipe[0]);
        munmap(shared, sizeof(SessionTrace));
        return session();
    }
    unsigned char said = 0;
    ssize_t read_bytes;
    do {
        read_bytes = read(status_pipe[0], &said, 1);
    } while (read_bytes < 0 && errno == EINTR);
    // Open until the child is gone: DLL code that wrote into the pipe first must not turn the
    // child's own status into a SIGPIPE.
    int wait_status = 0;
    while (waitpid(child, &wait_status, 0) < 0 && errno == EINTR) {
    }
    close(status_pipe[0]);
    const SessionTrace ended = *trace;
    munmap(shared, sizeof(SessionTrace));

    if (WIFEXITED(wait_status) && read_bytes == 1 && WEXITSTATUS(wait_status) == said)
        return said;
    if (WIFSIGNALED(wait_status) && IsSentFromOutside(WTERMSIG(wait_status))) {
        signal(WTERMSIG(wait_status), SIG_DFL);
        raise(WTERMSIG(wait_status));
    }
    err << "qelhost: the process running the DLL ";
    if (WIFSIGNALED(wait_status)) {
        err << "was ended by " << SignalText(WTERMSIG(wait_status));
    } else {
        err << "exited with status " << WEXITSTATUS(wait_status);
        if (read_bytes != 1)
            err << " without returning to qelhost";
    }
    err << EnteredExportText(ended) << "\n";
    return 1;
}

}  // namespace qel
