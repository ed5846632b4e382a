#include "CliRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "TestSupport.h"

namespace twtest {

namespace {
std::string drain(int fd) {
    std::string data;
    char buf[8192];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) data.append(buf, static_cast<size_t>(n));
    close(fd);
    return data;
}
}  // namespace

CliResult runCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                 const std::string& input) {
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe(outPipe) || pipe(errPipe) || pipe(inPipe)) return {};
    // A cache of earlier scans of this run's own, unless the test shares one on purpose.
    TempDir cache("twinsift-cli-cache");
    pid_t pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal: the tool cannot ask on one
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], inPipe[0], inPipe[1]}) close(fd);
        setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
        for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv;
        std::string program = TWINSIFT_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    close(inPipe[0]);
    std::thread writer([&] {
        if (!input.empty()) (void)!write(inPipe[1], input.data(), input.size());
        close(inPipe[1]);
    });
    CliResult result;
    std::thread errReader([&] { result.err = drain(errPipe[0]); });
    result.out = drain(outPipe[0]);
    errReader.join();
    writer.join();
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace twtest
