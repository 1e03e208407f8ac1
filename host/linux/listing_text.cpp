#include "host/linux/listing_text.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string_view>

extern char** environ;

namespace qel {
namespace {

struct Compression {
    std::string_view magic;
    const char* name;
    const char* program;  // decompresses standard input to standard output with -dc
};
constexpr Compression kCompressions[] = {
    {std::string_view("\xFD"
                      "7zXZ\0",
                      6),
     "xz", "xz"},
    {"\x1F\x8B", "gzip", "gzip"},
};

// The program's standard output with `path` as its standard input; nullopt with *error.
std::optional<std::string> Decompress(const Compression& compression, const std::string& path,
                                      std::string* error) {
    const std::string said = std::string("compressed with ") + compression.name + ", and ";
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        *error = said + "no pipe to decompress it through";
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char dash_dc[] = "-dc";
    char* const arguments[] = {const_cast<char*>(compression.program), dash_dc, nullptr};
    pid_t child = 0;
    const int spawned =
        posix_spawnp(&child, compression.program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        *error = said + "there is no " + compression.program + " program to decompress it";
        return std::nullopt;
    }
    std::string text;
    bool too_long = false;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (text.size() + static_cast<size_t>(got) > kMaximumListingBytes) {
            too_long = true;  // a listing is kilobytes: this is no listing
            kill(child, SIGKILL);
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    close(output[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (too_long) {
        *error = said + "it decompresses to more than " +
                 std::to_string(kMaximumListingBytes >> 20) + " MiB, far more than a listing";
        return std::nullopt;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = said + compression.program + " could not decompress it (" +
                 (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                    : "ended by signal " + std::to_string(WTERMSIG(status))) +
                 ")";
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::optional<std::string> ReadListingText(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file)
        text << file.rdbuf();
    error->clear();
    if (!file || file.bad())
        return std::nullopt;
    const std::string whole = text.str();
    for (const Compression& compression : kCompressions) {
        if (std::string_view(whole).substr(0, compression.magic.size()) == compression.magic)
            return Decompress(compression, path, error);
    }
    return whole;
}

}  // namespace qel
