#pragma once
// A D-Bus daemon of the test's own, so that tests of bus clients never touch the
// machine's system or session bus. Any connection may own any name on it.
//
//   twtest::PrivateBus bus;                       // starts dbus-daemon, waits for its address
//   auto peer = bus.connect();                    // a connection of the test's own
//   twtest::PrivateBus::ownName(peer.get(), "org.freedesktop.login1");
//   g_dbus_connection_emit_signal(peer.get(), ...);
//   SomeClient client(bus.address());             // the code under test, pointed at the bus
//
// Objects a test exports are dispatched in the thread-default main context of the
// thread that registers them: register them inside tw::GLibThread::shared().invoke...()
// so that they answer while the test's main thread is busy.

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

#include "TestSupport.h"

typedef struct _GDBusConnection GDBusConnection;

namespace twtest {

class PrivateBus {
public:
    using Connection = std::shared_ptr<GDBusConnection>;

    // Throws std::runtime_error when the daemon cannot be started. With a `serviceDir`
    // the bus starts the services described there on demand (D-Bus activation), in the
    // daemon's environment: the test's own with `environment` laid over it.
    PrivateBus();
    PrivateBus(const std::string& serviceDir, const std::map<std::string, std::string>& environment);
    ~PrivateBus();  // stops the daemon
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return address_; }
    // A new connection to the bus, already registered (it has a unique name).
    // Throws std::runtime_error on failure.
    Connection connect() const;
    // Requests `name` for the connection and waits for the answer; true when owned.
    static bool ownName(GDBusConnection* connection, const std::string& name);

private:
    TempDir dir_;
    pid_t pid_ = -1;
    std::string address_;
};

// Points DBUS_SESSION_BUS_ADDRESS at `address` while it lives (restores the old value).
class ScopedSessionBusAddress {
public:
    explicit ScopedSessionBusAddress(const std::string& address);
    ~ScopedSessionBusAddress();

private:
    std::string old_;
    bool hadOld_ = false;
};

}  // namespace twtest
