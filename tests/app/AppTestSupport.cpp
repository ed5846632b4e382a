#include "AppTestSupport.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include "app/TWAppStyle.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWQtMainQueue.h"
#include "app/TWQtThumbnailProvider.h"
#include "model/TWDuplicateFilesManager.h"

namespace apptest {

void setUpApplication() {
    static bool done = false;
    if (done) return;
    done = true;
    TWAppStyle::apply(*qApp);
    new TWQtMainQueue(qApp);
    TWQtThumbnailProvider::installShared();
}

LiveApp::LiveApp() {
    setUpApplication();
    delegate_ = std::make_unique<AppDelegate>();
    // Scans in tests listen to no session bus.
    TWLoadFilesCtrl::shareLoadFilesCtrl()->setEngineFactory([] {
        TWSearchDuplicateFiles::Options options;
        options.sessionEvents = false;
        return TWSearchDuplicateFiles::init(options);
    });
    delegate_->showMainWindow();
    if (!QTest::qWaitForWindowExposed(delegate_->wndMain())) qWarning("main window not exposed");
}

LiveApp::~LiveApp() {
    delegate_.reset();
}

bool waitFor(const std::function<bool()>& condition, int milliseconds) {
    return QTest::qWaitFor(condition, milliseconds);
}

std::unique_ptr<QMimeData> mimeForPaths(const std::vector<std::string>& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const auto& path : paths) urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    data->setUrls(urls);
    return data;
}

bool dragEnter(QWidget* target, const std::vector<std::string>& paths) {
    auto data = mimeForPaths(paths);
    QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    return enter.isAccepted();
}

bool dragAndDrop(QWidget* target, const std::vector<std::string>& paths) {
    if (!dragEnter(target, paths)) return false;
    auto data = mimeForPaths(paths);
    QPoint centre = target->rect().center();
    QDragMoveEvent move(centre, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(centre), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

void hover(QWidget* target, const QPoint& position) {
    QMouseEvent move(QEvent::MouseMove, QPointF(position), target->mapToGlobal(QPointF(position)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

}  // namespace apptest
