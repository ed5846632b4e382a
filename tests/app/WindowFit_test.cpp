// Every window fits the screen it opens on: a 1600 x 1000 screen at scale 2 offers
// 800 x 500 device-independent pixels, less than the results window's 840 x 630.

#include <QApplication>
#include <QFile>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "AppTestSupport.h"
#include "app/TWAboutCtrl.h"
#include "app/TWMainWindow.h"
#include "app/TWPreferenceCtrl.h"
#include "platform/LinuxLibraries.h"
#include "platform/MediaLibraryService.h"

using apptest::LiveApp;

namespace {

bool fits(const QRect& frame, const QRect& screen) {
    return screen.contains(frame);
}

}  // namespace

class WindowFitTest : public QObject {
    Q_OBJECT
private slots:
    void theScreenIsTheSmallHiDpiOne();
    void mainWindowFitsInBothViews();
    void preferencesAndAboutFit();
};

void WindowFitTest::theScreenIsTheSmallHiDpiOne() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QCOMPARE(screen->availableGeometry().size(), QSize(800, 500));
    QCOMPARE(screen->devicePixelRatio(), 2.0);
}

void WindowFitTest::mainWindowFitsInBothViews() {
    LiveApp app;
    TWMainWindow* window = app.delegate().wndMain();
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(apptest::waitFor([&] { return !window->isAnimating() && window->size() == QSize(580, 440); }, 5000));
    QVERIFY(fits(window->frameGeometry(), screen));

    app.delegate().showResult();
    // The whole frame takes the screen (the offscreen platform draws a 1-pixel frame).
    QVERIFY(apptest::waitFor(
        [&] { return !window->isAnimating() && window->frameGeometry().size() == QSize(800, 500); }, 5000));
    QVERIFY(fits(window->frameGeometry(), screen));
    QVERIFY(window->minimumSize().width() <= 800 && window->minimumSize().height() <= 500);
    // The bottom bar's buttons are on the screen.
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isVisible() || child->objectName() != QLatin1String("btnDelete")) continue;
        QVERIFY(screen.contains(QRect(child->mapToGlobal(QPoint(0, 0)), child->size())));
    }
}

void WindowFitTest::preferencesAndAboutFit() {
    tw::installLinuxLibraries();  // as the app runs: the General page shows the library rows
    auto uninstall = qScopeGuard([] { tw::MediaLibraryService::install(nullptr); });
    LiveApp app;
    TWPreferenceCtrl::shared()->showWindow();
    QWidget* preferences = TWPreferenceCtrl::shared()->window();
    const QRect screen = preferences->screen()->availableGeometry();
    QVERIFY(QTest::qWaitForWindowExposed(preferences));
    QVERIFY2(fits(preferences->frameGeometry(), screen),
             qPrintable(QStringLiteral("%1x%2").arg(preferences->width()).arg(preferences->height())));
    QCOMPARE(preferences->maximumSize(), preferences->minimumSize());
    // Capped in height, the pages scroll down but never sideways, and nothing is cut.
    const QStringList faults = apptest::preferencePagesThatDoNotFit(TWPreferenceCtrl::shared());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));

    app.delegate().aboutWindow();
    TWAboutCtrl* about = TWAboutCtrl::shared(app.delegate().wndMain());
    QVERIFY(about->width() <= screen.width() && about->height() <= screen.height());
}

int main(int argc, char** argv) {
    // Before the application exists: the platform reads its screens once.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1600, "height": 1000,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    WindowFitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowFit_test.moc"
