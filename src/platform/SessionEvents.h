#pragma once
// The session's events a scan must react to: the machine going to sleep or waking,
// powering off, and a volume about to be unmounted. They come from logind's
// PrepareForSleep / PrepareForShutdown signals on the system bus and from GIO's
// volume monitor (pre-unmount), are received on the GLibThread and delivered on the
// main queue. Without a system bus there are no sleep or power-off events and nothing
// is logged.
//
// Create and destroy on the main thread: after destruction no callback runs, even
// one already queued.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tw {

class SessionEvents {
public:
    struct Callbacks {
        std::function<void(bool start)> sleep;  // true: going to sleep; false: woke up
        std::function<void()> powerOff;         // a shutdown or reboot is under way
        std::function<void(const std::string& mountPath)> willUnmount;
    };
    struct Options {
        // A D-Bus address for logind's signals; empty means the system bus
        // (DBUS_SYSTEM_BUS_ADDRESS, else the standard socket).
        std::string busAddress;
        bool watchVolumes = true;
    };

    explicit SessionEvents(Callbacks callbacks);
    SessionEvents(Callbacks callbacks, Options options);
    ~SessionEvents();
    SessionEvents(const SessionEvents&) = delete;
    SessionEvents& operator=(const SessionEvents&) = delete;

    // Subscribing happens on the GLib thread, without blocking the caller. Waits until
    // it has been tried and answers whether logind's signals are subscribed.
    bool waitUntilSubscribed(std::chrono::milliseconds timeout) const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace tw
