#include "DesktopSession.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace twtest {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(100);

// Whether a process (not necessarily our child) is gone or only a zombie.
bool hasEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    if (!(stat >> pidText)) return true;
    // The name is in parentheses and may hold spaces: the state follows the last ')'.
    std::string rest((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = rest.rfind(')');
    return close == std::string::npos || rest.find_first_not_of(' ', close + 1) == std::string::npos ||
           rest[rest.find_first_not_of(' ', close + 1)] == 'Z';
}

// Ends a process: SIGTERM, then SIGKILL after `graceSeconds`.
void endProcess(pid_t pid, int graceSeconds, bool isChild) {
    auto ended = [&] {
        if (isChild) return ::waitpid(pid, nullptr, WNOHANG) == pid;
        return hasEnded(pid);
    };
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(graceSeconds);
    while (!ended()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            if (isChild) ::waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

void copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) throw std::runtime_error(from + " is missing: is its application installed (scripts/install-deps.sh)?");
    std::ofstream(to, std::ios::binary) << in.rdbuf();
}

}  // namespace

DesktopSession::DesktopSession(const std::vector<std::string>& services) {
    try {
        for (const char* folder : {"home", "home/Music", "data", "config", "cache", "services"}) dir_.mkdir(folder);
        const std::string runtime = dir_.mkdir("runtime");
        ::chmod(runtime.c_str(), 0700);
        // The music folder applications watch stays empty: they hold only what a test adds.
        dir_.write("config/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Music\"\n");
        for (const std::string& name : services)
            copyFile("/usr/share/dbus-1/services/" + name + ".service", dir_ / ("services/" + name + ".service"));
        environment_ = {{"HOME", home()},
                        {"XDG_DATA_HOME", dataHome()},
                        {"XDG_CONFIG_HOME", dir_ / "config"},
                        {"XDG_CACHE_HOME", dir_ / "cache"},
                        {"XDG_RUNTIME_DIR", runtime},
                        {"GSETTINGS_BACKEND", "memory"},
                        {"GDK_BACKEND", "x11"},  // never a Wayland desktop the test runs in
                        {"NO_AT_BRIDGE", "1"}};
        startDisplay();
        bus_ = std::make_unique<PrivateBus>(dir_ / "services", environment_);
        environment_["DBUS_SESSION_BUS_ADDRESS"] = bus_->address();
    } catch (const std::exception& e) {
        error_ = e.what();
    }
}

DesktopSession::~DesktopSession() {
    if (bus_) endSessionProcesses();
    bus_.reset();
    if (display_ > 0) endProcess(display_, 10, true);
}

void DesktopSession::startDisplay() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 3);  // the copy is not closed on exec
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x800x24", nullptr);
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start Xvfb");
    }
    display_ = pid;
    const std::string number = readLine(fds[0], std::chrono::steady_clock::now() + std::chrono::seconds(60));
    ::close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb named no display (is xvfb installed?)");
    environment_["DISPLAY"] = ":" + number;
}

int DesktopSession::run(const std::vector<std::string>& argv, int limitSeconds) const {
    const std::string log = dir_ / "session.log";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        for (const auto& [name, value] : environment_) ::setenv(name.c_str(), value.c_str(), 1);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(out, 1);
        ::dup2(out, 2);
        std::vector<char*> args;
        for (const auto& word : argv) args.push_back(const_cast<char*>(word.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            endProcess(pid, 5, true);
            return -1;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void DesktopSession::endSessionProcesses() {
    // Every peer on the bus but this process: the applications the bus started, and
    // whatever they started that joined the bus.
    std::vector<pid_t> peers;
    try {
        PrivateBus::Connection connection = bus_->connect();
        auto ask = [&](const char* method, GVariant* parameters) {
            return g_dbus_connection_call_sync(connection.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                               "org.freedesktop.DBus", method, parameters, nullptr,
                                               G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
        };
        GVariant* names = ask("ListNames", nullptr);
        GVariantIter* iter = nullptr;
        const char* name = nullptr;
        if (names) g_variant_get(names, "(as)", &iter);
        while (iter && g_variant_iter_next(iter, "&s", &name)) {
            if (name[0] != ':') continue;
            if (GVariant* reply = ask("GetConnectionUnixProcessID", g_variant_new("(s)", name))) {
                guint32 pid = 0;
                g_variant_get(reply, "(u)", &pid);
                g_variant_unref(reply);
                if (pid > 0 && static_cast<pid_t>(pid) != ::getpid()) peers.push_back(static_cast<pid_t>(pid));
            }
        }
        if (iter) g_variant_iter_free(iter);
        if (names) g_variant_unref(names);
    } catch (const std::exception&) {
        return;  // the bus is gone: its peers lost their connection with it
    }
    for (pid_t pid : peers) endProcess(pid, 10, false);
}

}  // namespace twtest
