#pragma once
// Runs the built twinsift-cli as a child process that a test talks to while it runs:
// waits for a line on its standard error or terminal, types on its terminal, sends it
// signals. For a run that only needs its output at the end, CliRunner is simpler.

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace twtest {

struct CliSpawn {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;  // set on top of the test's environment
    bool terminal = false;                   // a pseudo-terminal as its controlling terminal and stdin
    std::string stdoutPath;                  // standard output to this file instead of a pipe
    bool closedStdout = false;               // standard output closed
};

class CliProcess {
public:
    explicit CliProcess(const CliSpawn& spawn);
    ~CliProcess();  // kills a child still running
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Reads what the child writes until `text` has appeared on standard error (or on
    // the terminal); false after 60 s or when the child ended first.
    bool waitForErr(const std::string& text);
    bool waitForTerminal(const std::string& text);
    void type(const std::string& bytes);  // on the terminal
    void signal(int number);
    // Reads the rest and waits for the end: the exit status, -1 when it did not exit.
    int wait();

    pid_t pid = -1;
    std::string out, err, terminal;

private:
    bool waitFor(const std::string& text, const std::string& stream);
    bool pump(int timeoutMs);  // false when every stream has ended
    int outFd_ = -1, errFd_ = -1, ptyFd_ = -1, slaveFd_ = -1;
    int exitStatus_ = -2;
    TempDir cache_{"twinsift-cli-cache"};  // the child's cache of earlier scans
};

}  // namespace twtest
