#include "tests/support/qelhost_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace host_test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

HostRun RunQelhost(const std::string& runner, const std::vector<std::string>& arguments,
                   const std::string& input,
                   const std::map<std::string, std::string>& environment) {
    const std::string base = testing::TempDir() + "qelhost_run_" + std::to_string(getpid());
    std::ofstream(base + ".in", std::ios::binary) << input;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(open((base + ".in").c_str(), O_RDONLY), 0);
        dup2(open((base + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open((base + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(runner.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    HostRun run;
    int status = 0;
    bool finished = false;
    for (int waited = 0; waited < 300 * 100 && !finished; ++waited) {  // five minutes at most
        finished = waitpid(child, &status, WNOHANG) == child;
        if (!finished)
            usleep(10000);
    }
    if (!finished) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    if (finished && WIFEXITED(status))
        run.exit_status = WEXITSTATUS(status);
    run.out = ReadFile(base + ".out");
    run.err = ReadFile(base + ".err");
    for (const char* suffix : {".in", ".out", ".err"})
        unlink((base + suffix).c_str());
    return run;
}

}  // namespace host_test
