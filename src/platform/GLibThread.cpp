#include "platform/GLibThread.h"

#include <glib.h>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/Log.h"
#include "platform/MainQueue.h"

namespace tw {
namespace {

gboolean runInvoked(gpointer data) {
    auto* fn = static_cast<std::function<void()>*>(data);
    try {
        (*fn)();
    } catch (const std::exception& e) {
        log("GLib thread task threw: %s", e.what());
    } catch (...) {
        log("GLib thread task threw an unknown exception");
    }
    return G_SOURCE_REMOVE;
}

void deleteInvoked(gpointer data) {
    delete static_cast<std::function<void()>*>(data);
}

}  // namespace

struct GLibThread::Impl {
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    std::atomic<std::thread::id> threadId{};
};

GLibThread::GLibThread() : impl_(new Impl) {
    impl_->context = g_main_context_new();
    impl_->loop = g_main_loop_new(impl_->context, FALSE);
    std::mutex m;
    std::condition_variable cv;
    bool running = false;
    std::thread([this, &m, &cv, &running] {
        g_main_context_push_thread_default(impl_->context);
        impl_->threadId.store(std::this_thread::get_id());
        {
            std::lock_guard<std::mutex> lock(m);
            running = true;
            cv.notify_all();
        }
        g_main_loop_run(impl_->loop);  // runs for the life of the process
        g_main_context_pop_thread_default(impl_->context);
    }).detach();
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return running; });
}

GLibThread& GLibThread::shared() {
    static GLibThread* instance = new GLibThread();
    return *instance;
}

void GLibThread::invoke(std::function<void()> fn) {
    if (!fn) return;
    if (isCurrent()) {
        runInvoked(&fn);
        return;
    }
    g_main_context_invoke_full(impl_->context, G_PRIORITY_DEFAULT, runInvoked, new std::function<void()>(std::move(fn)),
                               deleteInvoked);
}

void GLibThread::invokeAndWait(std::function<void()> fn) {
    if (!fn) return;
    if (isCurrent()) {
        runInvoked(&fn);
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    invoke([&] {
        struct Guard {
            std::mutex& m;
            std::condition_variable& cv;
            bool& done;
            ~Guard() {
                std::lock_guard<std::mutex> lock(m);
                done = true;
                cv.notify_all();
            }
        } guard{m, cv, done};
        fn();
    });
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return done; });
}

bool GLibThread::isCurrent() const {
    return impl_->threadId.load() == std::this_thread::get_id();
}

GMainContext* GLibThread::context() const {
    return impl_->context;
}

void GLibThread::toMainQueue(std::function<void()> fn) {
    MainQueue::shared().post(std::move(fn));
}

}  // namespace tw
