// Runs qelhost as a user does, through the build's launcher, with its output captured.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace host_test {

struct HostRun {
    int exit_status = -1;  // -1: killed or timed out
    std::string out;
    std::string err;
};

// Runs the launcher at `runner` (natively or under qemu, as the build decided) with stdout
// and stderr in files; kills it after five minutes.
HostRun RunQelhost(const std::string& runner, const std::vector<std::string>& arguments,
                   const std::string& input = "",
                   const std::map<std::string, std::string>& environment = {});

}  // namespace host_test
