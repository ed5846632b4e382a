#include "platform/AppLauncher.h"

#include <gio/gio.h>

#include "platform/Log.h"

namespace tw {
namespace {

// A desktop entry's name is its Name key in the current locale.
bool hasName(GAppInfo* info, const std::string& name) {
    const char* shown = g_app_info_get_name(info);
    return shown && name == shown;
}

}  // namespace

bool AppLauncher::launchByName(const std::string& name) {
    GList* all = g_app_info_get_all();
    GAppInfo* found = nullptr;
    for (GList* it = all; it && !found; it = it->next) {
        auto* info = static_cast<GAppInfo*>(it->data);
        if (hasName(info, name)) found = G_APP_INFO(g_object_ref(info));
    }
    g_list_free_full(all, g_object_unref);
    if (!found) {
        log("no application named %s", name.c_str());
        return false;
    }
    GError* error = nullptr;
    const bool launched = g_app_info_launch(found, nullptr, nullptr, &error);
    if (!launched) {
        log("cannot launch %s: %s", name.c_str(), error ? error->message : "unknown error");
        if (error) g_error_free(error);
    }
    g_object_unref(found);
    return launched;
}

}  // namespace tw
