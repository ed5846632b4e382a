#include "SessionBus.h"

#include <gio/gio.h>

#include <thread>

namespace tw {

namespace {
constexpr const char* kBus = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";
}  // namespace

SessionBus::SessionBus() {
    GError* error = nullptr;
    char* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address) {
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
    }
    if (!connection_) {
        error_ = std::string("cannot reach the session bus: ") + (error ? error->message : "no address");
        if (error) g_error_free(error);
        return;
    }
    g_dbus_connection_set_exit_on_close(connection_, FALSE);
}

SessionBus::~SessionBus() {
    if (!connection_) return;
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
}

GVariant* SessionBus::call(const std::string& name, const std::string& path, const std::string& interface,
                           const std::string& method, GVariant* parameters, int timeoutMs) {
    errorName_.clear();
    lastCallFailed_ = true;
    if (!connection_) {
        if (parameters && g_variant_is_floating(parameters)) g_variant_unref(g_variant_ref_sink(parameters));
        return nullptr;
    }
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(connection_, name.c_str(), path.c_str(), interface.c_str(), method.c_str(),
                                    parameters, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &error);
    lastCallFailed_ = reply == nullptr;
    if (!reply) {
        if (error) {
            if (char* remote = g_dbus_error_get_remote_error(error)) {
                errorName_ = remote;
                g_free(remote);
            }
            g_dbus_error_strip_remote_error(error);
            error_ = error->message;
            g_error_free(error);
        } else {
            error_ = method + " failed";
        }
    }
    return reply;
}

bool SessionBus::nameHasOwner(const std::string& name) {
    GVariant* reply = call(kBus, kBusPath, kBus, "NameHasOwner", g_variant_new("(s)", name.c_str()), 10000);
    if (!reply) return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

std::vector<std::string> SessionBus::namesWithPrefix(const std::string& prefix) {
    std::vector<std::string> names;
    GVariant* reply = call(kBus, kBusPath, kBus, "ListNames", nullptr, 10000);
    if (!reply) return names;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(as)", &iter);
    const char* name = nullptr;
    while (g_variant_iter_next(iter, "&s", &name))
        if (std::string_view(name).substr(0, prefix.size()) == prefix) names.emplace_back(name);
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return names;
}

bool SessionBus::startService(const std::string& name) {
    GVariant* reply = call(kBus, kBusPath, kBus, "StartServiceByName", g_variant_new("(su)", name.c_str(), 0u), 60000);
    if (!reply) return false;
    g_variant_unref(reply);
    return true;
}

bool SessionBus::waitForOwner(const std::string& name, std::chrono::milliseconds limit) {
    // The bus has no "wait for a name" call: ask again every 50 ms until the limit.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (nameHasOwner(name)) return true;
        if (!connection_ || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace tw
