// The desktop's light or dark preference: read from a fake XDG desktop portal on a
// private bus, followed when it changes, and shown by the whole app.

#include <QApplication>
#include <QLabel>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <atomic>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "AppTestSupport.h"
#include "GLibThread.h"
#include "PrivateBus.h"
#include "TWAppStyle.h"
#include "TWArtwork.h"
#include "TWColorScheme.h"
#include "TWLoadFilesCtrl.h"
#include "TWMainWindow.h"

namespace {

// org.freedesktop.portal.Settings answering "color-scheme" the way the real portal
// does (Read wraps the value in a second variant), and announcing changes.
class FakePortal {
public:
    FakePortal(twtest::PrivateBus& bus, uint32_t scheme) : connection_(bus.connect()), scheme_(scheme) {
        tw::GLibThread::shared().invokeAndWait([this] {
            GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
            static const GDBusInterfaceVTable vtable{&FakePortal::onCall, nullptr, nullptr, {}};
            registration_ = g_dbus_connection_register_object(connection_.get(), "/org/freedesktop/portal/desktop",
                                                              node->interfaces[0], &vtable, this, nullptr, nullptr);
            g_dbus_node_info_unref(node);
        });
        owned_ = twtest::PrivateBus::ownName(connection_.get(), "org.freedesktop.portal.Desktop");
    }
    ~FakePortal() {
        tw::GLibThread::shared().invokeAndWait(
            [this] { g_dbus_connection_unregister_object(connection_.get(), registration_); });
    }
    bool owned() const { return owned_ && registration_ != 0; }
    void change(uint32_t scheme) {
        scheme_ = scheme;
        g_dbus_connection_emit_signal(
            connection_.get(), nullptr, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings",
            "SettingChanged",
            g_variant_new("(ssv)", "org.freedesktop.appearance", "color-scheme", g_variant_new_uint32(scheme)),
            nullptr);
        g_dbus_connection_flush_sync(connection_.get(), nullptr, nullptr);
    }

private:
    static constexpr const char* kIntrospection =
        "<node><interface name='org.freedesktop.portal.Settings'>"
        "<method name='Read'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='v' direction='out'/></method>"
        "<signal name='SettingChanged'><arg type='s'/><arg type='s'/><arg type='v'/></signal>"
        "</interface></node>";

    static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                       GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<FakePortal*>(data);
        const gchar* nameSpace = nullptr;
        const gchar* key = nullptr;
        g_variant_get(parameters, "(&s&s)", &nameSpace, &key);
        if (g_strcmp0(nameSpace, "org.freedesktop.appearance") != 0 || g_strcmp0(key, "color-scheme") != 0) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.portal.Error.NotFound",
                                                       "Requested setting not found");
            return;
        }
        GVariant* value = g_variant_new_variant(g_variant_new_uint32(self->scheme_.load()));
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
    }

    twtest::PrivateBus::Connection connection_;
    std::atomic<uint32_t> scheme_;
    guint registration_ = 0;
    bool owned_ = false;
};

QString addressOf(const twtest::PrivateBus& bus) {
    return QString::fromStdString(bus.address());
}

}  // namespace

class ColorSchemeTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { TWAppStyle::setDark(false); }
    void readsThePortalAndFollowsItsChanges();
    void withoutAPortalThereIsNoPreference();
    void darkSchemeReachesPalettesStyleSheetsAndArtwork();
    void gnomeWordsMapToPreferences();
};

void ColorSchemeTest::readsThePortalAndFollowsItsChanges() {
    twtest::PrivateBus bus;
    FakePortal portal(bus, 1);
    QVERIFY(portal.owned());
    {
        TWColorScheme scheme(addressOf(bus));
        QCOMPARE(scheme.source(), QStringLiteral("portal"));
        QVERIFY(scheme.prefersDark());

        QSignalSpy changes(&scheme, &TWColorScheme::changed);
        portal.change(2);
        QVERIFY(changes.wait(10000));
        QCOMPARE(scheme.preference(), TWColorScheme::Preference::light);
        portal.change(0);
        QVERIFY(changes.wait(10000));
        QCOMPARE(scheme.preference(), TWColorScheme::Preference::none);
        QVERIFY(!scheme.prefersDark());
    }
}

void ColorSchemeTest::withoutAPortalThereIsNoPreference() {
    twtest::PrivateBus bus;
    // No GNOME settings either: no schema anywhere GLib looks.
    twtest::TempDir schemas;
    qputenv("GSETTINGS_SCHEMA_DIR", QByteArray::fromStdString(schemas.path()));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(schemas.path()));
    TWColorScheme scheme(addressOf(bus));
    QCOMPARE(scheme.preference(), TWColorScheme::Preference::none);
    QCOMPARE(scheme.source(), QStringLiteral("none"));
}

void ColorSchemeTest::darkSchemeReachesPalettesStyleSheetsAndArtwork() {
    apptest::LiveApp app;
    auto* label = new QLabel(QStringLiteral("x"), app.delegate().wndMain());
    label->setStyleSheet(QStringLiteral("QLabel { background: white; color: #24292F; }"));
    QPalette own = label->palette();
    own.setColor(QPalette::Window, Qt::white);
    label->setPalette(own);
    label->show();
    auto* area = new QScrollArea(app.delegate().wndMain());
    QPalette viewport = area->viewport()->palette();
    viewport.setColor(QPalette::Base, Qt::white);
    viewport.setColor(QPalette::Window, Qt::white);
    area->viewport()->setPalette(viewport);
    area->show();
    const QImage lightButton = TWArtwork::pixmap(QStringLiteral("button_plus"), QSize(32, 32)).toImage();

    TWAppStyle::setDark(true);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 60);
    QVERIFY(QApplication::palette().color(QPalette::WindowText).lightness() > 190);
    // A view's own style sheet and palette follow without the view knowing.
    QVERIFY2(!label->styleSheet().contains(QLatin1String("white")), qPrintable(label->styleSheet()));
    QVERIFY(label->palette().color(QPalette::Window).lightness() < 60);
    QVERIFY(area->viewport()->palette().color(QPalette::Base).lightness() < 60);
    // Greys and black (colours without a hue) turn light; the accent keeps its colour;
    // the artwork is drawn anew.
    QVERIFY(TWAppStyle::adapt(Qt::black).isValid());
    QVERIFY(TWAppStyle::adapt(Qt::black).lightness() > 200);
    QVERIFY(TWAppStyle::grey(0.15).lightness() > 200);
    QCOMPARE(TWAppStyle::adapt(TWAppStyle::accent()), TWAppStyle::accent());
    QVERIFY(TWArtwork::pixmap(QStringLiteral("button_plus"), QSize(32, 32)).toImage() != lightButton);
    QCOMPARE(TWArtwork::pixmap(QStringLiteral("app_icon"), QSize(32, 32)).toImage(),
             TWArtwork::pixmap(QStringLiteral("app_icon"), QSize(32, 32)).toImage());

    TWAppStyle::setDark(false);
    QCOMPARE(label->styleSheet(), QStringLiteral("QLabel { background: white; color: #24292F; }"));
    QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(TWArtwork::pixmap(QStringLiteral("button_plus"), QSize(32, 32)).toImage(), lightButton);
}

void ColorSchemeTest::gnomeWordsMapToPreferences() {
    QCOMPARE(TWColorScheme::fromGnome(QStringLiteral("prefer-dark")), TWColorScheme::Preference::dark);
    QCOMPARE(TWColorScheme::fromGnome(QStringLiteral("prefer-light")), TWColorScheme::Preference::light);
    QCOMPARE(TWColorScheme::fromGnome(QStringLiteral("default")), TWColorScheme::Preference::none);
    QCOMPARE(TWColorScheme::fromPortal(7), TWColorScheme::Preference::none);
}

QTEST_MAIN(ColorSchemeTest)
#include "ColorScheme_test.moc"
