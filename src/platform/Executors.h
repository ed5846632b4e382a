#pragma once
// Work scheduling built from the standard library: a worker pool, serial executors
// on it, and task groups. All classes are safe from any thread.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

namespace tw {

enum class Priority { Default, Background };

// A pool of worker threads that grows when every worker is busy (tasks may block,
// for instance on the main thread) and lets idle workers go after a while.
// Background workers run at nice 10 and, when `idleIO`, in the idle I/O class.
class WorkerPool {
public:
    explicit WorkerPool(Priority priority, size_t maxThreads = 256);
    ~WorkerPool();  // waits for queued tasks to finish
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    static WorkerPool& background();      // nice 10, idle I/O class: scanning
    static WorkerPool& defaultPriority();

    void submit(std::function<void()> task);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs tasks one at a time, in the order given, on a pool; never a thread of its own.
class SerialExecutor {
public:
    explicit SerialExecutor(WorkerPool& pool = WorkerPool::defaultPriority());
    ~SerialExecutor();  // waits for queued tasks
    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    void async(std::function<void()> task);
    // Queues the task and waits until it has run. Must not be called from a task of
    // this same executor (it would wait for itself).
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
