// twinsift: the desktop application.

#include <QApplication>

#include "AppDelegate.h"
#include "LinuxLibraries.h"
#include "TWAppInfo.h"
#include "TWAppStyle.h"
#include "TWMainWindow.h"
#include "TWPreference.h"
#include "TWQtMainQueue.h"
#include "TWQtThumbnailProvider.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("twinsift"));
    QApplication::setApplicationDisplayName(TWAppInfo::displayName());
    QApplication::setApplicationVersion(TWAppInfo::version());
    QGuiApplication::setDesktopFileName(TWAppInfo::desktopId());
    // Closing the main window ends the application.
    QApplication::setQuitOnLastWindowClosed(true);
    TWAppStyle::apply(app);

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
        delegate.showMainWindow();
        status = QApplication::exec();
    }
    TWThumbnailProvider::install(nullptr);
    return status;
}
