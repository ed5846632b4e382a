#include "FileManagerReveal.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace tw {
namespace {

constexpr const char* kService = "org.freedesktop.FileManager1";
constexpr const char* kObjectPath = "/org/freedesktop/FileManager1";

struct Uris {
    std::vector<std::string> items;
    std::vector<std::string> folders;  // distinct, in order of first appearance
};

std::string takeString(char* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

Uris urisFor(const std::vector<std::string>& paths) {
    Uris uris;
    for (const auto& path : paths) {
        GFile* file = g_file_new_for_path(path.c_str());
        uris.items.push_back(takeString(g_file_get_uri(file)));
        GFile* parent = g_file_get_parent(file);
        std::string folder = parent ? takeString(g_file_get_uri(parent)) : uris.items.back();
        if (std::find(uris.folders.begin(), uris.folders.end(), folder) == uris.folders.end())
            uris.folders.push_back(folder);
        if (parent) g_object_unref(parent);
        g_object_unref(file);
    }
    return uris;
}

// The user's session bus, never one started on demand: an auto-launched bus has no
// file manager on it anyway.
std::string sessionBusAddress() {
    if (const char* env = getenv("DBUS_SESSION_BUS_ADDRESS"); env && *env) return env;
    if (const char* runtime = getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        std::string socket = std::string(runtime) + "/bus";
        struct stat st {};
        if (stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            char* escaped = g_dbus_address_escape_value(socket.c_str());
            return "unix:path=" + takeString(escaped);
        }
    }
    return {};
}

Status failureFrom(const std::string& path, GError* error, const char* fallback) {
    Status status = Status::failure(path, error ? error->message : fallback);
    if (error) g_error_free(error);
    return status;
}

bool isExcluded(GAppInfo* app, const std::vector<std::string>& excluded) {
    const char* id = g_app_info_get_id(app);
    return id && std::find(excluded.begin(), excluded.end(), id) != excluded.end();
}

// The default application for folders, else the first other one that is not excluded;
// owned by the caller, null when there is none.
GAppInfo* folderHandler(const std::vector<std::string>& excluded) {
    constexpr const char* kFolderType = "inode/directory";
    GAppInfo* app = g_app_info_get_default_for_type(kFolderType, FALSE);
    if (app && !isExcluded(app, excluded)) return app;
    if (app) g_object_unref(app);
    app = nullptr;
    GList* all = g_app_info_get_all_for_type(kFolderType);
    for (GList* it = all; it && !app; it = it->next) {
        auto* candidate = static_cast<GAppInfo*>(it->data);
        if (!isExcluded(candidate, excluded)) app = G_APP_INFO(g_object_ref(candidate));
    }
    g_list_free_full(all, g_object_unref);
    return app;
}

}  // namespace

Status FileManagerReveal::showItems(const std::vector<std::string>& uris) const {
    const std::string address = options_.busAddress.empty() ? sessionBusAddress() : options_.busAddress;
    if (address.empty()) return Status::failure("", "No session bus");
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!connection) return failureFrom(address, error, "Cannot connect to the session bus");
    g_dbus_connection_set_exit_on_close(connection, FALSE);

    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
    for (const auto& uri : uris) g_variant_builder_add(&builder, "s", uri.c_str());
    GVariant* reply = g_dbus_connection_call_sync(connection, kService, kObjectPath, kService, "ShowItems",
                                                  g_variant_new("(ass)", &builder, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                  options_.timeoutMs, nullptr, &error);
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    if (!reply) return failureFrom(kService, error, "ShowItems failed");
    g_variant_unref(reply);
    return Status::success();
}

Status FileManagerReveal::openWithDefaultApp(const std::string& folderUri, const std::vector<std::string>& excluded) {
    GAppInfo* app = folderHandler(excluded);
    if (!app) return Status::failure(folderUri, "No file manager is installed");
    GList uris{const_cast<char*>(folderUri.c_str()), nullptr, nullptr};
    GError* error = nullptr;
    const bool launched = g_app_info_launch_uris(app, &uris, nullptr, &error);
    g_object_unref(app);
    if (launched) return Status::success();
    return failureFrom(folderUri, error, "Cannot open the folder");
}

Status FileManagerReveal::reveal(const std::vector<std::string>& paths) const {
    if (paths.empty()) return Status::success();
    const Uris uris = urisFor(paths);
    if (showItems(uris.items)) return Status::success();
    Status result = Status::success();
    for (const auto& folder : uris.folders) {
        Status opened = options_.opener ? options_.opener(folder) : openWithDefaultApp(folder, options_.excludedAppIds);
        if (!opened && result) result = opened;
    }
    return result;
}

}  // namespace tw
