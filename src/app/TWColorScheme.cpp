#include "TWColorScheme.h"

#include <sys/stat.h>

#include <cstdlib>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "Log.h"

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettings = "org.freedesktop.portal.Settings";
constexpr const char* kAppearance = "org.freedesktop.appearance";
constexpr const char* kColorScheme = "color-scheme";
constexpr const char* kGnomeSchema = "org.gnome.desktop.interface";
constexpr int kPortalTimeoutMs = 1000;

// The user's session bus, never one started on demand.
QString sessionBusAddress() {
    if (const char* env = getenv("DBUS_SESSION_BUS_ADDRESS"); env && *env) return QString::fromLocal8Bit(env);
    if (const char* runtime = getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        const QString socket = QString::fromLocal8Bit(runtime) + QStringLiteral("/bus");
        struct stat st {};
        if (stat(socket.toLocal8Bit().constData(), &st) == 0 && S_ISSOCK(st.st_mode))
            return QStringLiteral("unix:path=") + socket;
    }
    return {};
}

// Read answers a variant inside a variant (the portal's own historic quirk), the
// signal one level: down to the number either way.
bool numberIn(GVariant* value, guint32* number) {
    GVariant* inner = g_variant_ref(value);
    while (g_variant_is_of_type(inner, G_VARIANT_TYPE_VARIANT)) {
        GVariant* next = g_variant_get_variant(inner);
        g_variant_unref(inner);
        inner = next;
    }
    const bool ok = g_variant_is_of_type(inner, G_VARIANT_TYPE_UINT32);
    if (ok) *number = g_variant_get_uint32(inner);
    g_variant_unref(inner);
    return ok;
}

}  // namespace

TWColorScheme::TWColorScheme(const QString& busAddress, QObject* parent) : QObject(parent) {
    const QString address = busAddress.isEmpty() ? sessionBusAddress() : busAddress;
    if (!address.isEmpty()) {
        GError* error = nullptr;
        bus_ = g_dbus_connection_new_for_address_sync(
            address.toUtf8().constData(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (error) {
            tw::log("no session bus for the colour scheme: %s", error->message);
            g_error_free(error);
        }
    }
    if (bus_) {
        g_dbus_connection_set_exit_on_close(bus_, FALSE);
        // Any sender: the portal's name may get its owner only after this subscription.
        subscription_ =
            g_dbus_connection_signal_subscribe(bus_, nullptr, kSettings, "SettingChanged", kPortalPath, kAppearance,
                                               G_DBUS_SIGNAL_FLAGS_NONE, &TWColorScheme::portalChanged, this, nullptr);
    }
    if (!readPortal()) readGnome();
}

TWColorScheme::~TWColorScheme() {
    if (gnome_) {
        g_signal_handler_disconnect(gnome_, gnomeHandler_);
        g_object_unref(gnome_);
    }
    if (bus_) {
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
        g_dbus_connection_close_sync(bus_, nullptr, nullptr);
        g_object_unref(bus_);
    }
}

TWColorScheme::Preference TWColorScheme::fromPortal(uint value) {
    return value == 1 ? Preference::dark : value == 2 ? Preference::light : Preference::none;
}

TWColorScheme::Preference TWColorScheme::fromGnome(const QString& value) {
    if (value == QLatin1String("prefer-dark")) return Preference::dark;
    if (value == QLatin1String("prefer-light")) return Preference::light;
    return Preference::none;
}

bool TWColorScheme::readPortal() {
    if (!bus_) return false;
    // No portal, or one without the appearance settings: GNOME's key next.
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, kPortal, kPortalPath, kSettings, "Read", g_variant_new("(ss)", kAppearance, kColorScheme),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, kPortalTimeoutMs, nullptr, nullptr);
    if (!reply) return false;
    GVariant* value = g_variant_get_child_value(reply, 0);
    guint32 number = 0;
    const bool ok = numberIn(value, &number);
    g_variant_unref(value);
    g_variant_unref(reply);
    if (!ok) return false;
    source_ = QStringLiteral("portal");
    set(fromPortal(number));
    return true;
}

void TWColorScheme::readGnome() {
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    GSettingsSchema* schema = schemas ? g_settings_schema_source_lookup(schemas, kGnomeSchema, TRUE) : nullptr;
    if (!schema) return;
    const bool hasKey = g_settings_schema_has_key(schema, kColorScheme);
    g_settings_schema_unref(schema);
    if (!hasKey) return;  // GNOME before 42
    gnome_ = g_settings_new(kGnomeSchema);
    gnomeHandler_ = g_signal_connect(gnome_, "changed::color-scheme", G_CALLBACK(&TWColorScheme::gnomeChanged), this);
    source_ = QStringLiteral("gsettings");
    gnomeChanged(gnome_, kColorScheme, this);
}

void TWColorScheme::portalChanged(GDBusConnection*, const char*, const char*, const char*, const char*,
                                  GVariant* parameters, void* self) {
    const char* nameSpace = nullptr;
    const char* key = nullptr;
    GVariant* value = nullptr;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
    g_variant_get(parameters, "(&s&sv)", &nameSpace, &key, &value);
    guint32 number = 0;
    if (g_strcmp0(nameSpace, kAppearance) == 0 && g_strcmp0(key, kColorScheme) == 0 && numberIn(value, &number))
        static_cast<TWColorScheme*>(self)->set(fromPortal(number));
    g_variant_unref(value);
}

void TWColorScheme::gnomeChanged(GSettings* settings, const char*, void* self) {
    char* value = g_settings_get_string(settings, kColorScheme);
    static_cast<TWColorScheme*>(self)->set(fromGnome(QString::fromUtf8(value)));
    g_free(value);
}

void TWColorScheme::set(Preference preference) {
    if (preference == preference_) return;
    preference_ = preference;
    emit changed(preference);
}
