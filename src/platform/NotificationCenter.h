#pragma once
// Named notifications delivered synchronously on the posting thread to every
// observer of that name, in the order the observers were added.
// Safe from any thread; an observer may remove itself or others while being called.

#include <any>
#include <functional>
#include <memory>
#include <string>

namespace tw {

struct Notification {
    std::string name;
    std::any object;  // empty for "no object"
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    // Removes its observer when destroyed or reset.
    class Observer {
    public:
        Observer() = default;
        Observer(Observer&&) noexcept = default;
        Observer& operator=(Observer&&) noexcept;
        ~Observer();
        void reset();
        explicit operator bool() const { return id_ != 0; }

    private:
        friend class NotificationCenter;
        Observer(NotificationCenter* center, unsigned long id) : center_(center), id_(id) {}
        NotificationCenter* center_ = nullptr;
        unsigned long id_ = 0;
    };

    NotificationCenter();
    ~NotificationCenter();
    static NotificationCenter& defaultCenter();

    [[nodiscard]] Observer addObserver(const std::string& name, Handler handler);
    void post(const std::string& name, std::any object = {});

private:
    void remove(unsigned long id);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tw
