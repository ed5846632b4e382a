#pragma once
// Template body of tw::waitForMediaValue (included by MediaLibraryService.h).

#include <condition_variable>

namespace tw {

template <typename T>
T waitForMediaValue(MediaObservable& object, const std::string& keyPath, const std::function<T()>& read) {
    struct Signal {
        std::mutex mutex;
        std::condition_variable changed;
        bool fired = false;
    };
    auto signal = std::make_shared<Signal>();
    unsigned long token = object.addObserver(keyPath, [signal](const std::string&) {
        std::lock_guard<std::mutex> lock(signal->mutex);
        signal->fired = true;
        signal->changed.notify_all();
    });
    T value = read();
    if (!value) {
        std::unique_lock<std::mutex> lock(signal->mutex);
        signal->changed.wait_for(lock, MediaLibraryService::waitLimit(), [&] { return signal->fired; });
        lock.unlock();
        value = read();
    }
    object.removeObserver(token);
    return value;
}

}  // namespace tw
