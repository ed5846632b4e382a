#include "PrivateBus.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace twtest {
namespace {

constexpr int kAddressFd = 3;
constexpr std::chrono::seconds kStartTimeout{20};

// Everything allowed: the bus only ever carries the test's own traffic.
std::string configFor(const std::string& socketDir, const std::string& serviceDir) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:dir=" +
           socketDir + "</listen>\n" +
           (serviceDir.empty() ? std::string() : "  <servicedir>" + serviceDir + "</servicedir>\n") +
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

}  // namespace

PrivateBus::PrivateBus() : PrivateBus("", {}) {}

PrivateBus::PrivateBus(const std::string& serviceDir, const std::map<std::string, std::string>& environment)
    : dir_("twinsift-bus") {
    const std::string config = dir_.write("bus.conf", configFor(dir_.mkdir("socket"), serviceDir));
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        if (!environment.count(variable.substr(0, variable.find('=')))) variables.push_back(variable);
    }
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copy, so only the write end reaches the daemon.
    posix_spawn_file_actions_adddup2(&actions, fds[1], kAddressFd);
    std::string configArg = "--config-file=" + config;
    std::string printArg = "--print-address=" + std::to_string(kAddressFd);
    std::vector<char*> argv{
        const_cast<char*>("dbus-daemon"), configArg.data(), printArg.data(), const_cast<char*>("--nofork"),
        const_cast<char*>("--nopidfile"), nullptr};
    int rc = posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start dbus-daemon");
    }
    address_ = readLine(fds[0], std::chrono::steady_clock::now() + kStartTimeout);
    close(fds[0]);
    if (address_.empty()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        throw std::runtime_error("dbus-daemon printed no address");
    }
}

PrivateBus::~PrivateBus() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

PrivateBus::Connection PrivateBus::connect() const {
    GError* error = nullptr;
    GDBusConnection* c = g_dbus_connection_new_for_address_sync(
        address_.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!c) {
        std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("cannot connect to the private bus: " + message);
    }
    g_dbus_connection_set_exit_on_close(c, FALSE);
    return Connection(c, [](GDBusConnection* conn) {
        g_dbus_connection_close_sync(conn, nullptr, nullptr);
        g_object_unref(conn);
    });
}

bool PrivateBus::ownName(GDBusConnection* connection, const std::string& name) {
    constexpr guint32 kDoNotQueue = 4;
    constexpr guint32 kPrimaryOwner = 1;
    GVariant* reply =
        g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "RequestName", g_variant_new("(su)", name.c_str(), kDoNotQueue),
                                    G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
    if (!reply) return false;
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    return result == kPrimaryOwner;
}

ScopedSessionBusAddress::ScopedSessionBusAddress(const std::string& address) {
    if (const char* old = getenv("DBUS_SESSION_BUS_ADDRESS")) {
        hadOld_ = true;
        old_ = old;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}

ScopedSessionBusAddress::~ScopedSessionBusAddress() {
    if (hadOld_)
        setenv("DBUS_SESSION_BUS_ADDRESS", old_.c_str(), 1);
    else
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace twtest
