#pragma once
// The desktop's light or dark preference. Qt 6.4 cannot tell it, so it is read where
// the desktops publish it: the XDG desktop portal's Settings, "org.freedesktop.appearance"
// "color-scheme" (0 no preference, 1 prefer dark, 2 prefer light), followed through its
// SettingChanged signal; without a portal, GNOME's "color-scheme" key of
// org.gnome.desktop.interface ("prefer-dark", "default", "prefer-light"), followed
// through GSettings. Main thread only; the changes arrive through the GLib main
// context that Qt's event loop runs on Linux.

#include <QObject>
#include <QString>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GSettings GSettings;
typedef struct _GVariant GVariant;

class TWColorScheme : public QObject {
    Q_OBJECT
public:
    enum class Preference { none = 0, dark = 1, light = 2 };

    // Reads the preference on the bus at `busAddress` (empty: the session bus, never
    // one started on demand), waiting at most a second for the portal, and follows
    // its changes.
    explicit TWColorScheme(const QString& busAddress = {}, QObject* parent = nullptr);
    ~TWColorScheme() override;

    Preference preference() const { return preference_; }
    bool prefersDark() const { return preference_ == Preference::dark; }
    // Where the preference came from: "portal", "gsettings" or "none".
    QString source() const { return source_; }

    // The portal's number (or GNOME's word) as a preference; anything else is none.
    static Preference fromPortal(uint value);
    static Preference fromGnome(const QString& value);

signals:
    void changed(TWColorScheme::Preference preference);

private:
    static void portalChanged(GDBusConnection*, const char*, const char*, const char*, const char*,
                              GVariant* parameters, void* self);
    static void gnomeChanged(GSettings* settings, const char*, void* self);
    bool readPortal();
    void readGnome();
    void set(Preference preference);

    GDBusConnection* bus_ = nullptr;
    unsigned subscription_ = 0;
    GSettings* gnome_ = nullptr;
    unsigned long gnomeHandler_ = 0;
    Preference preference_ = Preference::none;
    QString source_ = QStringLiteral("none");
};
