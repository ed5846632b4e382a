#pragma once
// Runs the built twinsift-cli as a child process and captures what it printed.

#include <map>
#include <string>
#include <vector>

namespace twtest {

struct CliResult {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `env` entries are set in the child on top of the test's environment.
CliResult runCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                 const std::string& input = "");

}  // namespace twtest
