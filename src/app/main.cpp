// twinsift: the desktop application.

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <cstdio>

#include "AppDelegate.h"
#include "LinuxLibraries.h"
#include "TWAppInfo.h"
#include "TWAppStyle.h"
#include "TWColorScheme.h"
#include "TWCommandLine.h"
#include "TWMainWindow.h"
#include "TWPreference.h"
#include "TWQtMainQueue.h"
#include "TWQtThumbnailProvider.h"
#include "TWSingleInstance.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int usageError(const TWCommandLine& line) {
    std::fprintf(stderr, "twinsift: %s\nTry 'twinsift --help'.\n", qPrintable(line.error));
    return 2;
}

bool answered(const TWCommandLine& line) {
    if (line.action == TWCommandLine::Action::help) {
        std::fputs(qPrintable(TWCommandLine::helpText()), stdout);
        return true;
    }
    if (line.action == TWCommandLine::Action::version) {
        std::fputs(qPrintable(TWCommandLine::versionText() + TWAppInfo::imageModuleLine()), stdout);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // --help, --version and a wrong long option answer before the application connects
    // to a display; single-dash options may be Qt's own (-platform, -style, ...).
    const TWCommandLine early = TWCommandLine::parse(argumentsOf(argc, argv), QDir::currentPath());
    if (answered(early)) return 0;
    if (early.action == TWCommandLine::Action::usageError && early.badOption.startsWith(QLatin1String("--")))
        return usageError(early);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("twinsift"));
    QApplication::setApplicationDisplayName(TWAppInfo::displayName());
    QApplication::setApplicationVersion(TWAppInfo::version());
    QGuiApplication::setDesktopFileName(TWAppInfo::desktopId());

    // Qt took its own options (-platform, ...) out; what is left is ours.
    const TWCommandLine line = TWCommandLine::parse(QApplication::arguments().mid(1), QDir::currentPath());
    if (answered(line)) return 0;
    if (line.action == TWCommandLine::Action::usageError) return usageError(line);
    for (const QString& reason : line.ignored) std::fprintf(stderr, "twinsift: %s; not added\n", qPrintable(reason));

    TWSingleInstance instance(QDBusConnection::sessionBus());
    if (instance.start(line.folders) == TWSingleInstance::Role::forwarded) return 0;

    // Closing the main window ends the application.
    QApplication::setQuitOnLastWindowClosed(true);
    TWColorScheme scheme;
    TWAppStyle::setDark(scheme.prefersDark());
    TWAppStyle::apply(app);
    QObject::connect(&scheme, &TWColorScheme::changed, &app, [](TWColorScheme::Preference preference) {
        TWAppStyle::setDark(preference == TWColorScheme::Preference::dark);
    });

    TWQtMainQueue mainQueue;
    TWQtThumbnailProvider::installShared();
    // The backends read the libraries at the locations chosen in the preferences.
    tw::installLinuxLibraries(
        [](const std::string& source) { return TWPreference::shared().chosenLibraryLocation(source); });

    int status = 0;
    {
        AppDelegate delegate;
        // Other windows (the preferences) do not keep the application alive.
        QObject::connect(delegate.wndMain(), &TWMainWindow::closed, &app, &QApplication::quit);
        QObject::connect(&instance, &TWSingleInstance::openRequested, &delegate, [&delegate](const QStringList& f) {
            delegate.openFolders(f);
            delegate.raiseMainWindow();
        });
        QObject::connect(&instance, &TWSingleInstance::activateRequested, &delegate, &AppDelegate::raiseMainWindow);
        delegate.showMainWindow();
        delegate.openFolders(line.folders, line.ignoredNotice());
        status = QApplication::exec();
    }
    TWThumbnailProvider::install(nullptr);
    return status;
}
