#pragma once
// A connection of its own to the user's session bus (the address GLib finds:
// DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus), for the questions the library
// backends ask of it: whether an application's name has an owner, and method calls.
// A private connection, never GLib's shared one, so that a change of the address
// (tests point it at a bus of their own) is followed.
//
// Use one object from one thread at a time; distinct objects from any thread.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

namespace tw {

class SessionBus {
public:
    // Connects at once; check isConnected() and error().
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool isConnected() const { return connection_ != nullptr; }
    const std::string& error() const { return error_; }

    bool nameHasOwner(const std::string& name);
    // Every name on the bus that begins with `prefix`.
    std::vector<std::string> namesWithPrefix(const std::string& prefix);
    // Asks the bus to start the service that owns `name` (D-Bus activation).
    bool startService(const std::string& name);
    // Waits at most `limit` until `name` has an owner.
    bool waitForOwner(const std::string& name, std::chrono::milliseconds limit);

    // A method call; the reply (owned by the caller, g_variant_unref) or null with
    // error() set. `parameters` is consumed when floating.
    GVariant* call(const std::string& name, const std::string& path, const std::string& interface,
                   const std::string& method, GVariant* parameters, int timeoutMs = 25000);
    // Whether the last call got no reply; its D-Bus error name ("" when it had none).
    bool lastCallFailed() const { return lastCallFailed_; }
    const std::string& errorName() const { return errorName_; }

private:
    GDBusConnection* connection_ = nullptr;
    std::string error_;
    std::string errorName_;
    bool lastCallFailed_ = false;
};

}  // namespace tw
