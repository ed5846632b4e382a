#pragma once
// Named notifications delivered synchronously on the posting thread to every
// observer of that name, in the order the observers were added.
// Safe from any thread; an observer may remove itself or others while being called.
// Once an observer's removal returns, its handler is running on no other thread and
// is never called again (removing it from inside its own call does not wait for that
// call). The centre must outlive its observers; defaultCenter() is never destroyed.

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
        // A moved-from token no longer owns the registration.
        Observer(Observer&& other) noexcept : center_(other.center_), id_(other.id_) {
            other.center_ = nullptr;
            other.id_ = 0;
        }
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
