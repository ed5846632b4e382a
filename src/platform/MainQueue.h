#pragma once
// The main thread's queue: views, controllers, the scan counters and every
// notification of the engine run on it.
//
// Safe from any thread. The desktop app installs a Dispatcher that wakes the Qt
// event loop; without one (command line, tests) the thread that owns the queue runs
// its loop itself with runUntil()/runPending(). The main thread is the thread that
// first touched MainQueue::shared(), unless adoptCurrentThread() said otherwise.

#include <chrono>
#include <functional>
#include <thread>

namespace tw {

class MainQueue {
public:
    using Task = std::function<void()>;

    static MainQueue& shared();

    // Queues fn to run on the main thread, after everything queued before it.
    void post(Task fn);
    // Runs fn on the main thread and returns when it has run; runs it inline when
    // called on the main thread.
    void postAndWait(Task fn);
    bool isMainThread() const;

    // Makes the calling thread the main thread (tests and the app call this first).
    void adoptCurrentThread();

    // Main thread only: runs every queued task, including tasks queued meanwhile;
    // returns how many ran.
    size_t runPending();
    // Main thread only: runs tasks as they arrive until pred() holds or the timeout
    // passes; returns pred()'s last answer.
    bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

    // A front end's event loop: `wake` is called (from any thread) whenever a task
    // was queued; the loop then calls runPending() on the main thread. An empty
    // function removes the dispatcher.
    void setDispatcher(std::function<void()> wake);

private:
    MainQueue();
    struct Impl;
    Impl* impl_;
};

}  // namespace tw
