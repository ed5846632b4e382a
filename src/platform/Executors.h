#pragma once
// Work scheduling built from the standard library: a worker pool, serial executors
// on it, and task groups. All classes are safe from any thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace tw {

enum class Priority { Default, Background };

// A pool of worker threads that grows when every worker is busy (tasks may block,
// for instance on the main thread), up to maxThreads, and lets a worker go after it
// has been idle for `idleTimeout`. Tasks start in the order submitted.
// Background workers run at nice 10 (or the process's own niceness when that is
// higher) and at the lowest best-effort I/O level, never in the idle I/O class, which
// can starve for ever; both are best-effort (a refusal is ignored). Default workers
// take back the process's own niceness and I/O priority should they inherit a
// background one from the thread that made them.
// A task that throws is logged; the exception goes no further.
class WorkerPool {
public:
    static constexpr std::chrono::milliseconds kIdleTimeout{5000};

    explicit WorkerPool(Priority priority, size_t maxThreads = 256,
                        std::chrono::milliseconds idleTimeout = kIdleTimeout);
    ~WorkerPool();  // waits for queued tasks to finish
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    static WorkerPool& background();  // nice 10, lowest best-effort I/O level
    static WorkerPool& defaultPriority();
    // The pool for a scan or removal: the process's own priority unless the person
    // asked for scans in the background.
    static WorkerPool& forScans(bool inBackground);

    void submit(std::function<void()> task);
    size_t threadCount() const;  // live workers, busy or idle

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;  // shared with the workers, which may outlast ~WorkerPool by a few instructions
};

// Runs tasks one at a time, in the order given, on a pool; never a thread of its own.
class SerialExecutor {
public:
    explicit SerialExecutor(WorkerPool& pool = WorkerPool::defaultPriority());
    ~SerialExecutor();  // waits for queued tasks
    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    void async(std::function<void()> task);
    // Queues the task and waits until it has run. Called from a task of this same
    // executor it runs the task at once instead of waiting for itself.
    void sync(std::function<void()> task);
    bool isCurrent() const;  // the calling thread is running one of its tasks

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// A set of tasks that may add further tasks to the set; wait() returns when every
// task, including those added while waiting, has finished.
class TaskGroup {
public:
    TaskGroup() = default;
    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;
    ~TaskGroup() { wait(); }

    void run(WorkerPool& pool, std::function<void()> task);
    // Marks a unit of work that is not a pool task (enter/leave must pair).
    void enter();
    void leave();
    void wait();

private:
    std::mutex mutex_;
    std::condition_variable done_;
    size_t pending_ = 0;
};

}  // namespace tw
