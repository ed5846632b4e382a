#include "platform/SessionEvents.h"

#include <gio/gio.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/GLibThread.h"

namespace tw {
namespace {

constexpr const char* kLogindName = "org.freedesktop.login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr int kBusCallTimeoutMs = 5000;

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

}  // namespace

struct SessionEvents::State : std::enable_shared_from_this<SessionEvents::State> {
    Callbacks callbacks;
    Options options;
    std::atomic<bool> alive{true};

    mutable std::mutex mutex;
    mutable std::condition_variable triedCv;
    bool tried = false;       // guarded by mutex
    bool subscribed = false;  // guarded by mutex

    // GLib thread only.
    GDBusConnection* connection = nullptr;
    guint subscription = 0;
    GVolumeMonitor* monitor = nullptr;
    gulong preUnmountHandler = 0;

    void deliver(std::function<void(const Callbacks&)> call) {
        GLibThread::toMainQueue([self = shared_from_this(), call = std::move(call)] {
            if (self->alive.load()) call(self->callbacks);
        });
    }

    static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                         GVariant* parameters, gpointer data) {
        auto* self = static_cast<State*>(data);
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
        gboolean start = FALSE;
        g_variant_get(parameters, "(b)", &start);
        if (g_strcmp0(signal, "PrepareForSleep") == 0) {
            bool value = start;
            self->deliver([value](const Callbacks& c) {
                if (c.sleep) c.sleep(value);
            });
        } else if (g_strcmp0(signal, "PrepareForShutdown") == 0 && start) {
            // PrepareForShutdown(false) means a shutdown was cancelled: nothing to do.
            self->deliver([](const Callbacks& c) {
                if (c.powerOff) c.powerOff();
            });
        }
    }

    static void onPreUnmount(GVolumeMonitor*, GMount* mount, gpointer data) {
        auto* self = static_cast<State*>(data);
        GFile* root = g_mount_get_root(mount);
        char* path = root ? g_file_get_path(root) : nullptr;
        if (path) {
            std::string mountPath = path;
            self->deliver([mountPath](const Callbacks& c) {
                if (c.willUnmount) c.willUnmount(mountPath);
            });
        }
        g_free(path);
        if (root) g_object_unref(root);
    }

    // GLib thread: the monitor and the subscription deliver their events here.
    void start() {
        if (!alive.load()) return;
        if (options.watchVolumes) {
            monitor = g_volume_monitor_get();
            preUnmountHandler = g_signal_connect(monitor, "mount-pre-unmount", G_CALLBACK(onPreUnmount), this);
        }
        bool ok = subscribeToLogind();
        std::lock_guard<std::mutex> lock(mutex);
        tried = true;
        subscribed = ok;
        triedCv.notify_all();
    }

    bool subscribeToLogind() {
        std::string address = options.busAddress;
        if (address.empty()) {
            char* system = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
            if (!system) return false;
            address = system;
            g_free(system);
        }
        // No system bus (a container, a minimal session) simply means no such events.
        GError* error = nullptr;
        connection = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        ErrorPtr owned(error);
        if (!connection) return false;
        g_dbus_connection_set_exit_on_close(connection, FALSE);
        subscription = g_dbus_connection_signal_subscribe(connection, kLogindName, kLogindManager, nullptr, kLogindPath,
                                                          nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr);
        // The match rule travels to the bus asynchronously; one round trip makes sure
        // the bus has it before we say we are subscribed.
        GVariant* reply = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr, nullptr);
        if (reply) g_variant_unref(reply);
        return true;
    }

    // GLib thread: the last use of `this` by GLib.
    void stop() {
        if (monitor) {
            g_signal_handler_disconnect(monitor, preUnmountHandler);
            g_object_unref(monitor);
            monitor = nullptr;
        }
        if (connection) {
            g_dbus_connection_signal_unsubscribe(connection, subscription);
            g_dbus_connection_close(connection, nullptr, nullptr, nullptr);
            g_object_unref(connection);
            connection = nullptr;
        }
    }
};

SessionEvents::SessionEvents(Callbacks callbacks) : SessionEvents(std::move(callbacks), Options{}) {}

SessionEvents::SessionEvents(Callbacks callbacks, Options options) : state_(std::make_shared<State>()) {
    state_->callbacks = std::move(callbacks);
    state_->options = std::move(options);
    GLibThread::shared().invoke([state = state_] { state->start(); });
}

SessionEvents::~SessionEvents() {
    state_->alive.store(false);
    GLibThread::shared().invoke([state = state_] { state->stop(); });
}

bool SessionEvents::waitUntilSubscribed(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->triedCv.wait_for(lock, timeout, [&] { return state_->tried; });
    return state_->subscribed;
}

}  // namespace tw
