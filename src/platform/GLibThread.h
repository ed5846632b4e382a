#pragma once
// A GLib main context running on a thread of its own, for the services whose events
// GLib delivers through a main context (D-Bus signal subscriptions, the GIO volume
// monitor). Such a service subscribes from inside invoke(), where this context is the
// thread-default one, so that its callbacks arrive on this thread; a callback then
// hands the event to the main queue with toMainQueue() and returns at once.
//
// Safe from any thread. The shared instance starts on first use and is never
// destroyed. Code on this thread must never wait for the main thread (postAndWait):
// the main thread may be waiting in invokeAndWait().

#include <functional>

typedef struct _GMainContext GMainContext;

namespace tw {

class GLibThread {
public:
    static GLibThread& shared();

    // Runs fn on the GLib thread, at once when called there, else soon after.
    void invoke(std::function<void()> fn);
    // Runs fn on the GLib thread and returns when it has run.
    void invokeAndWait(std::function<void()> fn);
    bool isCurrent() const;

    // The context the thread runs; push it as thread default only on this thread.
    GMainContext* context() const;

    // Hands an event to the main queue (MainQueue::post).
    static void toMainQueue(std::function<void()> fn);

    GLibThread(const GLibThread&) = delete;
    GLibThread& operator=(const GLibThread&) = delete;

private:
    GLibThread();
    struct Impl;
    Impl* impl_;
};

}  // namespace tw
