#include "app/TWFolderReveal.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "app/TWAppInfo.h"
#include "platform/Executors.h"
#include "platform/FileManagerReveal.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

namespace {

std::vector<std::string> ownDesktopIds() {
    const std::string self = TWAppInfo::desktopId().toStdString();
    return {self + ".desktop", "twinsift-open-folder.desktop"};
}

void tellFailure(QPointer<QWidget> owner, const std::vector<std::string>& paths, const tw::Status& status) {
    tw::log("cannot show %s in the file manager: %s", paths.front().c_str(), status.message().c_str());
    tw::MainQueue::shared().post([paths, owner, status] {
        QMessageBox::warning(owner, QCoreApplication::translate("TWFolderReveal", "Cannot Show in Folder"),
                             TWFolderReveal::failureText(paths, status));
    });
}

}  // namespace

tw::Status TWFolderReveal::revealNow(const std::vector<std::string>& paths) {
    tw::FileManagerReveal::Options options;
    options.excludedAppIds = ownDesktopIds();
    return tw::FileManagerReveal(options).reveal(paths);
}

void TWFolderReveal::openPlace(const std::string& uri, QWidget* parent) {
    if (uri.empty()) return;
    QPointer<QWidget> owner(parent);
    tw::WorkerPool::defaultPriority().submit([uri, owner] {
        const tw::Status status = tw::FileManagerReveal::openWithDefaultApp(uri, ownDesktopIds());
        if (!status) tellFailure(owner, {uri}, status);
    });
}

QString TWFolderReveal::failureText(const std::vector<std::string>& paths, const tw::Status& status) {
    const QString path = paths.empty() ? QString() : QString::fromStdString(paths.front());
    return QCoreApplication::translate("TWFolderReveal",
                                       "No file manager could show “%1”.\n\n%2\n\nInstall a file manager (such as "
                                       "Files or PCManFM) to show items in their folders.")
        .arg(path, QString::fromStdString(status.reason));
}

void TWFolderReveal::reveal(const std::vector<std::string>& paths, QWidget* parent) {
    if (paths.empty()) return;
    QPointer<QWidget> owner(parent);
    // The bus call may take seconds; the window stays responsive meanwhile.
    tw::WorkerPool::defaultPriority().submit([paths, owner] {
        const tw::Status status = revealNow(paths);
        if (!status) tellFailure(owner, paths, status);
    });
}
