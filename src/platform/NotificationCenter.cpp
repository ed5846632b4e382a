#include "platform/NotificationCenter.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Log.h"

namespace tw {
namespace {

// One registration. `alive` and `callers` are guarded by the centre's mutex.
struct Entry {
    unsigned long id = 0;
    std::string name;
    NotificationCenter::Handler handler;
    bool alive = true;
    std::vector<std::thread::id> callers;  // threads inside handler right now
};

}  // namespace

struct NotificationCenter::Impl {
    std::mutex mutex;
    std::condition_variable callFinished;
    std::vector<std::shared_ptr<Entry>> entries;  // in order of addition
    unsigned long nextId = 1;
};

NotificationCenter::NotificationCenter() : impl_(std::make_unique<Impl>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: observers held by other singletons may outlive static destruction.
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

NotificationCenter::Observer NotificationCenter::addObserver(const std::string& name, Handler handler) {
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->handler = std::move(handler);
    std::lock_guard<std::mutex> lock(impl_->mutex);
    entry->id = impl_->nextId++;
    impl_->entries.push_back(entry);
    return Observer(this, entry->id);
}

void NotificationCenter::post(const std::string& name, std::any object) {
    const Notification note{name, std::move(object)};
    std::vector<std::shared_ptr<Entry>> targets;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        for (const auto& e : impl_->entries)
            if (e->name == name) targets.push_back(e);
    }
    const auto self = std::this_thread::get_id();
    for (const auto& e : targets) {
        {
            // An observer removed by an earlier one of this delivery is skipped.
            std::lock_guard<std::mutex> lock(impl_->mutex);
            if (!e->alive) continue;
            e->callers.push_back(self);
        }
        try {
            if (e->handler) e->handler(note);
        } catch (const std::exception& ex) {
            log("observer of %s threw: %s", name.c_str(), ex.what());
        } catch (...) {
            log("observer of %s threw an unknown exception", name.c_str());
        }
        std::lock_guard<std::mutex> lock(impl_->mutex);
        e->callers.erase(std::find(e->callers.begin(), e->callers.end(), self));
        impl_->callFinished.notify_all();
    }
}

void NotificationCenter::remove(unsigned long id) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    auto& entries = impl_->entries;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e->id == id; });
    if (it == entries.end()) return;
    std::shared_ptr<Entry> entry = *it;
    entries.erase(it);
    entry->alive = false;
    // Once removal returns, the handler runs on no other thread, so whatever it
    // captured may be destroyed. A call on this thread (an observer removing itself
    // or another one from inside a delivery) is not waited for: it is our caller.
    const auto self = std::this_thread::get_id();
    impl_->callFinished.wait(lock, [&] {
        return std::all_of(entry->callers.begin(), entry->callers.end(), [&](auto t) { return t == self; });
    });
}

NotificationCenter::Observer& NotificationCenter::Observer::operator=(Observer&& other) noexcept {
    if (this != &other) {
        reset();
        center_ = other.center_;
        id_ = other.id_;
        other.center_ = nullptr;
        other.id_ = 0;
    }
    return *this;
}

NotificationCenter::Observer::~Observer() {
    reset();
}

void NotificationCenter::Observer::reset() {
    if (center_ && id_ != 0) center_->remove(id_);
    center_ = nullptr;
    id_ = 0;
}

}  // namespace tw
