#include "host/linux/qemu_models.h"

#include <stdio.h>
#include <sys/wait.h>

#include <sstream>

namespace qel {
namespace {

// A word the shell passes as it stands.
std::string ShellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word)
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

bool QemuListsCpuModel(const std::string& qemu, const std::string& model, bool* listed,
                       std::string* error) {
    *listed = false;
    FILE* pipe = popen((ShellQuoted(qemu) + " -cpu help 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        *error = "cannot run " + qemu;
        return false;
    }
    // "x86 pentium3              ..." one model a line, after an "Available CPUs:" heading.
    std::string text;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, got);
    const int status = pclose(pipe);
    std::istringstream lines(text);
    std::string line;
    bool any_model = false;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string architecture, name;
        if (!(words >> architecture >> name) || architecture != "x86")
            continue;
        any_model = true;
        *listed = *listed || name == model;
    }
    if (!any_model) {
        *error = qemu + " -cpu help listed no processor model (exit status " +
                 std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
                 "); is qemu-user installed? (scripts/bootstrap --runner)";
        return false;
    }
    return true;
}

}  // namespace qel
