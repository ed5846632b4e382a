#include "CliProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace twtest {

namespace {

[[noreturn]] void execCli(const CliSpawn& spawn, int outWrite, int errWrite, const char* ptyName,
                          const std::string& cacheHome) {
    setsid();
    int in = ptyName ? open(ptyName, O_RDWR) : open("/dev/null", O_RDONLY);  // the terminal becomes ours
    dup2(in, 0);
    if (spawn.closedStdout)
        close(1);
    else if (!spawn.stdoutPath.empty())
        dup2(open(spawn.stdoutPath.c_str(), O_WRONLY), 1);
    else
        dup2(outWrite, 1);
    dup2(errWrite, 2);
    closefrom(3);
    setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);  // unless the test shares one on purpose
    for (const auto& [k, v] : spawn.env) setenv(k.c_str(), v.c_str(), 1);
    std::vector<std::string> args = spawn.args;
    std::string program = TWINSIFT_CLI_PATH;
    std::vector<char*> argv{program.data()};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

}  // namespace

CliProcess::CliProcess(const CliSpawn& spawn) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) return;
    std::string ptyName;
    if (spawn.terminal) {
        ptyFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (ptyFd_ < 0 || grantpt(ptyFd_) || unlockpt(ptyFd_)) return;
        ptyName = ptsname(ptyFd_);
        // Held open here too, so that the terminal never hangs up before the child has
        // opened it or after it ended.
        slaveFd_ = open(ptyName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    pid = fork();
    if (pid == 0) execCli(spawn, outPipe[1], errPipe[1], spawn.terminal ? ptyName.c_str() : nullptr, cache_.path());
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
}

CliProcess::~CliProcess() {
    if (exitStatus_ == -2 && pid > 0) {
        kill(pid, SIGKILL);
        wait();
    }
    for (int fd : {outFd_, errFd_, ptyFd_, slaveFd_})
        if (fd >= 0) close(fd);
}

bool CliProcess::pump(int timeoutMs) {
    struct Stream {
        int* fd;
        std::string* text;
    } streams[] = {{&outFd_, &out}, {&errFd_, &err}, {&ptyFd_, &terminal}};
    std::vector<pollfd> fds;
    std::vector<Stream*> owners;
    for (auto& s : streams)
        if (*s.fd >= 0 && (s.fd != &ptyFd_ || outFd_ >= 0 || errFd_ >= 0)) {
            fds.push_back({*s.fd, POLLIN, 0});
            owners.push_back(&s);
        }
    if (fds.empty()) return false;
    if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return true;
    for (size_t i = 0; i < fds.size(); ++i) {
        if (!fds[i].revents) continue;
        char buffer[4096];
        ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            owners[i]->text->append(buffer, static_cast<size_t>(n));
        } else if (owners[i]->fd != &ptyFd_) {  // the terminal stays open for typing
            close(*owners[i]->fd);
            *owners[i]->fd = -1;
        }
    }
    return true;
}

bool CliProcess::waitFor(const std::string& text, const std::string& stream) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (stream.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || !pump(100)) return stream.find(text) != std::string::npos;
    }
    return true;
}

bool CliProcess::waitForErr(const std::string& text) {
    return waitFor(text, err);
}

bool CliProcess::waitForTerminal(const std::string& text) {
    return waitFor(text, terminal);
}

void CliProcess::type(const std::string& bytes) {
    if (ptyFd_ >= 0) (void)!write(ptyFd_, bytes.data(), bytes.size());
}

void CliProcess::signal(int number) {
    if (pid > 0) kill(pid, number);
}

int CliProcess::wait() {
    if (exitStatus_ != -2) return exitStatus_;
    while (outFd_ >= 0 || errFd_ >= 0) pump(1000);
    int status = 0;
    waitpid(pid, &status, 0);
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pollfd pending{ptyFd_, POLLIN, 0};
    char buffer[4096];
    ssize_t n;
    while (ptyFd_ >= 0 && poll(&pending, 1, 0) > 0 && (n = read(ptyFd_, buffer, sizeof buffer)) > 0)
        terminal.append(buffer, static_cast<size_t>(n));
    return exitStatus_;
}

}  // namespace twtest
