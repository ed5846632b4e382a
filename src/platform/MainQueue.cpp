#include "platform/MainQueue.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "platform/Log.h"

namespace tw {
namespace {

// runUntil() re-tests its predicate at least this often, so that a condition another
// thread changes without posting (an atomic flag, a counter) is still noticed.
constexpr std::chrono::milliseconds kPredicateSlice{5};

// Completion of one postAndWait() call, shared between the waiter and the task.
struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;

    void signal() {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        cv.notify_all();
    }
};

}  // namespace

struct MainQueue::Impl {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Task> tasks;    // guarded by mutex
    bool wakePending = false;  // guarded by mutex: the dispatcher was woken and has not drained yet
    std::atomic<std::thread::id> mainThread{std::this_thread::get_id()};

    // Held shared while the dispatcher is called and exclusively while it is replaced,
    // so that once setDispatcher() returns the old function is never called again.
    std::shared_mutex dispatcherMutex;
    std::function<void()> dispatcher;  // guarded by dispatcherMutex
    std::atomic<bool> hasDispatcher{false};

    void wake() {
        std::shared_lock<std::shared_mutex> lock(dispatcherMutex);
        if (dispatcher) dispatcher();
    }

    // Takes the next task, or nothing when the queue is empty (then a later post wakes
    // the dispatcher again).
    bool take(Task& out) {
        std::lock_guard<std::mutex> lock(mutex);
        if (tasks.empty()) {
            wakePending = false;
            return false;
        }
        out = std::move(tasks.front());
        tasks.pop_front();
        return true;
    }
};

MainQueue::MainQueue() : impl_(new Impl) {}

MainQueue& MainQueue::shared() {
    // Never destroyed: worker threads may still post while the process exits.
    static MainQueue* queue = new MainQueue();
    return *queue;
}

void MainQueue::post(Task fn) {
    if (!fn) return;
    bool needWake = false;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->tasks.push_back(std::move(fn));
        if (impl_->hasDispatcher.load(std::memory_order_relaxed) && !impl_->wakePending) {
            impl_->wakePending = true;
            needWake = true;
        }
    }
    impl_->arrived.notify_all();
    if (needWake) impl_->wake();
}

void MainQueue::postAndWait(Task fn) {
    if (!fn) return;
    if (isMainThread()) {
        fn();
        return;
    }
    auto completion = std::make_shared<Completion>();
    post([fn = std::move(fn), completion] {
        // Signalled even when fn throws, so that the waiting thread never hangs.
        struct Guard {
            Completion& c;
            ~Guard() { c.signal(); }
        } guard{*completion};
        fn();
    });
    std::unique_lock<std::mutex> lock(completion->mutex);
    completion->cv.wait(lock, [&] { return completion->done; });
}

bool MainQueue::isMainThread() const {
    return impl_->mainThread.load() == std::this_thread::get_id();
}

void MainQueue::adoptCurrentThread() {
    impl_->mainThread.store(std::this_thread::get_id());
}

size_t MainQueue::runPending() {
    if (!isMainThread()) {
        log("MainQueue::runPending called off the main thread; nothing run");
        return 0;
    }
    size_t count = 0;
    Task task;
    while (impl_->take(task)) {
        ++count;
        try {
            task();
        } catch (const std::exception& e) {
            log("main queue task threw: %s", e.what());
        } catch (...) {
            log("main queue task threw an unknown exception");
        }
        task = nullptr;  // captured state is released before the next task runs
    }
    return count;
}

bool MainQueue::runUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    if (!isMainThread()) {
        log("MainQueue::runUntil called off the main thread; nothing run");
        return pred();
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        runPending();
        if (pred()) return true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::unique_lock<std::mutex> lock(impl_->mutex);
        impl_->arrived.wait_until(lock, std::min(deadline, now + kPredicateSlice),
                                  [&] { return !impl_->tasks.empty(); });
    }
}

void MainQueue::setDispatcher(std::function<void()> wake) {
    bool installed = static_cast<bool>(wake);
    {
        std::unique_lock<std::shared_mutex> lock(impl_->dispatcherMutex);
        impl_->dispatcher = std::move(wake);
        impl_->hasDispatcher.store(installed);
    }
    bool pending = false;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        // Tasks queued before the dispatcher came must not wait for the next post.
        impl_->wakePending = installed && !impl_->tasks.empty();
        pending = impl_->wakePending;
    }
    if (pending) impl_->wake();
}

}  // namespace tw
