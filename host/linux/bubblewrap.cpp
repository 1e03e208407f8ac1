#include "host/linux/bubblewrap.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>

#include "host/remote/inherited_descriptors.h"

namespace qel {
namespace {

// Tells the qelhost inside that the sandbox is there (its root being read-only confirms it).
constexpr const char* kInsideVariable = "QELHOST_SANDBOXED";
constexpr const char* kInsideValue = "bubblewrap";

}  // namespace

std::string BubblewrapPath(std::string* why) {
    if (const char* configured = getenv("QELHOST_BWRAP"); configured != nullptr && *configured) {
        if (access(configured, X_OK) == 0)
            return configured;
        *why = std::string("$QELHOST_BWRAP (") + configured + ") is not a program";
        return {};
    }
    const char* path = getenv("PATH");
    std::string folders = path != nullptr && *path != 0 ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/bwrap";
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    *why = "bubblewrap (bwrap) is not installed: scripts/bootstrap --runner installs it";
    return {};
}

std::vector<std::string> InsideBubblewrap(const std::string& bwrap,
                                          const std::vector<std::string>& command) {
    std::vector<std::string> wrapped = {bwrap,
                                        "--ro-bind",
                                        "/",
                                        "/",
                                        "--dev",
                                        "/dev",
                                        "--proc",
                                        "/proc",
                                        "--unshare-all",
                                        "--die-with-parent",
                                        "--new-session",
                                        "--setenv",
                                        kInsideVariable,
                                        kInsideValue,
                                        "--"};
    wrapped.insert(wrapped.end(), command.begin(), command.end());
    return wrapped;
}

bool RunsInsideBubblewrap() {
    const char* told = getenv(kInsideVariable);
    struct statvfs root {};
    return told != nullptr && strcmp(told, kInsideValue) == 0 && statvfs("/", &root) == 0 &&
           (root.f_flag & ST_RDONLY) != 0;
}

int RunInsideBubblewrap(const std::string& bwrap, const std::vector<std::string>& command) {
    std::vector<std::string> parts = InsideBubblewrap(bwrap, command);
    std::vector<char*> argv;
    for (std::string& part : parts)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    std::cout.flush();
    std::cerr.flush();
    const pid_t child = fork();
    if (child == 0) {
        CloseInheritedDescriptors();
        execv(argv[0], argv.data());
        dprintf(STDERR_FILENO, "qelhost: cannot run %s: %s\n", argv[0], strerror(errno));
        _exit(127);
    }
    if (child < 0) {
        std::cerr << "qelhost: cannot start the sandbox " << bwrap << "\n";
        return 1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    std::cerr << "qelhost: the sandbox ended by signal " << WTERMSIG(status) << "\n";
    return 1;
}

}  // namespace qel
