// twinsift: the desktop application.

#include <QApplication>

#include "AppDelegate.h"
#include "LinuxLibraries.h"
#include "TWAppInfo.h"
#include "TWAppStyle.h"
#include "TWMainWindow.h"
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
    tw::installLinuxLibraries();

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
