#include "AppTestSupport.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include "app/TWAppStyle.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWPreferenceCtrl.h"
#include "app/TWPreferenceGeneralPage.h"
#include "app/TWPreferenceIgnorePage.h"
#include "app/TWPreferenceSmartPage.h"
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

namespace {

// A widget's name in a failure message: its class, object name and text where it has them.
QString describe(const QWidget* widget) {
    QString text = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty()) text += QLatin1Char('#') + widget->objectName();
    const QVariant label = widget->property("text");
    if (label.canConvert<QString>() && !label.toString().isEmpty())
        text += QStringLiteral(" \"%1\"").arg(label.toString());
    return text;
}

// The scroll area whose viewport `parent` is, or null.
const QAbstractScrollArea* scrollAreaOf(const QWidget* parent) {
    auto* area = qobject_cast<const QAbstractScrollArea*>(parent ? parent->parentWidget() : nullptr);
    return area && area->viewport() == parent ? area : nullptr;
}

}  // namespace

QStringList cutOffWidgets(QWidget* window) {
    QStringList cut;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->isWindow() || widget->objectName() == QLatin1String("TWFocusRing"))
            continue;
        const QWidget* parent = widget->parentWidget();
        const QRect room = parent->rect();
        const QRect box = widget->geometry();
        bool inside = box.left() >= room.left() && box.right() <= room.right();
        const QAbstractScrollArea* area = scrollAreaOf(parent);
        const bool scrollsDown = area && area->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
        // Scrolled content starts above the viewport once scrolled down; only its width counts.
        if (!scrollsDown) inside = inside && box.top() >= room.top() && box.bottom() <= room.bottom();
        if (!inside)
            cut << QStringLiteral("%1 at %2,%3 %4x%5 in %6 %7x%8")
                       .arg(describe(widget))
                       .arg(box.x())
                       .arg(box.y())
                       .arg(box.width())
                       .arg(box.height())
                       .arg(describe(parent))
                       .arg(room.width())
                       .arg(room.height());
    }
    return cut;
}

QStringList preferencePagesThatDoNotFit(TWPreferenceCtrl* ctrl) {
    QStringList faults;
    auto* scroller = ctrl->window()->findChild<QScrollArea*>(QStringLiteral("pagesScroller"));
    if (!scroller) return {QStringLiteral("no pagesScroller")};
    const bool scrollsDown = scroller->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const QList<QWidget*> pages = {ctrl->general(), ctrl->ignore(), ctrl->smart()};
    for (int index = 0; index < pages.size(); ++index) {
        ctrl->showPage(index);
        QApplication::processEvents();  // the scroll area lays the page out
        const QSize room = scroller->viewport()->size();
        const QSize needed = pages[index]->minimumSizeHint();
        const QString page = pages[index]->objectName();
        if (needed.width() > room.width() || (!scrollsDown && needed.height() > room.height()))
            faults << QStringLiteral("%1 needs %2x%3, has %4x%5")
                          .arg(page)
                          .arg(needed.width())
                          .arg(needed.height())
                          .arg(room.width())
                          .arg(room.height());
        for (const QString& cut : cutOffWidgets(ctrl->window())) faults << page + QStringLiteral(": ") + cut;
    }
    return faults;
}

void hover(QWidget* target, const QPoint& position) {
    QMouseEvent move(QEvent::MouseMove, QPointF(position), target->mapToGlobal(QPointF(position)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

}  // namespace apptest
