#include "Executors.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <exception>
#include <system_error>
#include <thread>

#include "Log.h"

namespace tw {
namespace {

// <linux/ioprio.h> is not shipped everywhere; the ABI values are stable.
constexpr int kIoprioWhoProcess = 1;  // with id 0: the calling thread; with the pid: the main thread
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassBestEffort = 2;
constexpr int kIoprioLowestBestEffortLevel = 7;
constexpr int kBackgroundNice = 10;

long ioprioOf(pid_t who) {
    return syscall(SYS_ioprio_get, kIoprioWhoProcess, static_cast<int>(who));
}

void setIoprioOfThisThread(long value) {
    syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, static_cast<int>(value));
}

// On Linux setpriority(PRIO_PROCESS, tid) and ioprio_set(IOPRIO_WHO_PROCESS, 0) change
// one thread. Threads inherit the creator's values, so every worker sets its own,
// whichever pool made it. The main thread (tid == pid) carries the process's own values.
// Background work never goes into the idle I/O class: there it can wait for ever
// behind any other program's reads.
void applyPriority(Priority priority) {
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    const bool knowBase = errno == 0;
    if (priority == Priority::Background) {
        // Never raise a process that already runs nicer than background work.
        if (knowBase) setpriority(PRIO_PROCESS, tid, std::max(base, kBackgroundNice));
        setIoprioOfThisThread((long{kIoprioClassBestEffort} << kIoprioClassShift) | kIoprioLowestBestEffortLevel);
        return;
    }
    if (knowBase && getpriority(PRIO_PROCESS, tid) != base) setpriority(PRIO_PROCESS, tid, base);
    const long processIoprio = ioprioOf(getpid());
    if (processIoprio >= 0 && ioprioOf(0) != processIoprio) setIoprioOfThisThread(processIoprio);
}

void runGuarded(const std::function<void()>& task, const char* where) {
    try {
        task();
    } catch (const std::exception& e) {
        log("%s task threw: %s", where, e.what());
    } catch (...) {
        log("%s task threw an unknown exception", where);
    }
}

}  // namespace

// ---------------------------------------------------------------- WorkerPool

struct WorkerPool::Impl : std::enable_shared_from_this<WorkerPool::Impl> {
    Priority priority;
    size_t maxThreads;
    std::chrono::milliseconds idleTimeout;

    mutable std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable allExited;
    std::deque<std::function<void()>> queue;  // guarded by mutex
    size_t threads = 0;                       // guarded by mutex
    size_t idle = 0;                          // guarded by mutex: workers waiting for work
    bool stopping = false;                    // guarded by mutex

    void workerLoop() {
        applyPriority(priority);
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (!queue.empty()) {
                auto task = std::move(queue.front());
                queue.pop_front();
                lock.unlock();
                runGuarded(task, "worker");
                task = nullptr;
                lock.lock();
                continue;
            }
            if (stopping) break;
            ++idle;
            bool woken = workAvailable.wait_for(lock, idleTimeout, [&] { return !queue.empty() || stopping; });
            --idle;
            if (!woken) break;  // idle too long: let this worker go
        }
        if (--threads == 0) allExited.notify_all();
    }

    // Called with the mutex held. False when no thread could be made.
    bool spawn() {
        try {
            std::thread([self = shared_from_this()] { self->workerLoop(); }).detach();
        } catch (const std::system_error& e) {
            log("cannot start a worker thread: %s", e.what());
            return false;
        }
        ++threads;
        return true;
    }
};

WorkerPool::WorkerPool(Priority priority, size_t maxThreads, std::chrono::milliseconds idleTimeout)
    : impl_(std::make_shared<Impl>()) {
    impl_->priority = priority;
    impl_->maxThreads = maxThreads == 0 ? 1 : maxThreads;
    impl_->idleTimeout = idleTimeout;
}

WorkerPool::~WorkerPool() {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
    impl_->workAvailable.notify_all();
    impl_->allExited.wait(lock, [&] { return impl_->threads == 0; });
}

WorkerPool& WorkerPool::background() {
    // Never destroyed: tasks may still be running (or waiting on the main thread)
    // while the process exits.
    static WorkerPool* pool = new WorkerPool(Priority::Background);
    return *pool;
}

WorkerPool& WorkerPool::defaultPriority() {
    static WorkerPool* pool = new WorkerPool(Priority::Default);
    return *pool;
}

WorkerPool& WorkerPool::forScans(bool inBackground) {
    return inBackground ? background() : defaultPriority();
}

void WorkerPool::submit(std::function<void()> task) {
    if (!task) return;
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->queue.push_back(std::move(task));
    // Grow whenever the idle workers cannot take every queued task: a busy worker may
    // be blocked for a long time, so waiting for it could deadlock.
    if (impl_->queue.size() > impl_->idle && impl_->threads < impl_->maxThreads) {
        if (!impl_->spawn() && impl_->threads == 0) {
            // No worker at all: run the task here rather than lose it.
            auto inlineTask = std::move(impl_->queue.back());
            impl_->queue.pop_back();
            lock.unlock();
            runGuarded(inlineTask, "worker");
            return;
        }
    }
    impl_->workAvailable.notify_one();
}

size_t WorkerPool::threadCount() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->threads;
}

// ------------------------------------------------------------ SerialExecutor

struct SerialExecutor::Impl : std::enable_shared_from_this<SerialExecutor::Impl> {
    explicit Impl(WorkerPool& p) : pool(p) {}

    WorkerPool& pool;
    std::mutex mutex;
    std::condition_variable drained;
    std::deque<std::function<void()>> tasks;  // guarded by mutex
    bool scheduled = false;                   // guarded by mutex: a drain is queued or running
    std::atomic<std::thread::id> runner{};    // the thread running a task, if any

    // Runs the queued tasks one after the other on one pool thread. Holding a worker
    // for the whole run keeps the order without any per-task hand-over.
    void drain() {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (tasks.empty()) {
                    scheduled = false;
                    drained.notify_all();
                    return;
                }
                task = std::move(tasks.front());
                tasks.pop_front();
            }
            runner.store(std::this_thread::get_id());
            runGuarded(task, "serial executor");
            runner.store(std::thread::id{});
        }
    }
};

SerialExecutor::SerialExecutor(WorkerPool& pool) : impl_(std::make_shared<Impl>(pool)) {}

SerialExecutor::~SerialExecutor() {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->drained.wait(lock, [&] { return !impl_->scheduled; });
}

void SerialExecutor::async(std::function<void()> task) {
    if (!task) return;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->tasks.push_back(std::move(task));
        if (impl_->scheduled) return;
        impl_->scheduled = true;
    }
    impl_->pool.submit([self = impl_->shared_from_this()] { self->drain(); });
}

void SerialExecutor::sync(std::function<void()> task) {
    if (!task) return;
    if (isCurrent()) {
        // Already inside this executor's serial section: waiting for the queue would
        // wait for ourselves.
        runGuarded(task, "serial executor");
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    async([&] {
        struct Guard {
            std::mutex& m;
            std::condition_variable& cv;
            bool& flag;
            ~Guard() {
                std::lock_guard<std::mutex> lock(m);
                flag = true;
                cv.notify_all();
            }
        } guard{doneMutex, doneCv, done};
        task();
    });
    std::unique_lock<std::mutex> lock(doneMutex);
    doneCv.wait(lock, [&] { return done; });
}

bool SerialExecutor::isCurrent() const {
    return impl_->runner.load() == std::this_thread::get_id();
}

// ----------------------------------------------------------------- TaskGroup

void TaskGroup::run(WorkerPool& pool, std::function<void()> task) {
    enter();
    pool.submit([this, task = std::move(task)] {
        struct Leave {
            TaskGroup* group;
            ~Leave() { group->leave(); }
        } leave{this};
        runGuarded(task, "task group");
    });
}

void TaskGroup::enter() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++pending_;
}

void TaskGroup::leave() {
    // Notified under the lock: the waiter may destroy the group as soon as it returns.
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_ == 0) {
        log("TaskGroup::leave without a matching enter");
        return;
    }
    if (--pending_ == 0) done_.notify_all();
}

void TaskGroup::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return pending_ == 0; });
}

}  // namespace tw
