#include "TWOverViewerCtrl.h"

#include <QEvent>
#include <QWidget>

#include "MainQueue.h"
#include "TWDuplicateFilesManager.h"
#include "TWFileUtility.h"
#include "TWOverViewItemView.h"

namespace {
TWOverViewerCtrl*& sharedCtrl() {
    static TWOverViewerCtrl* ctrl = nullptr;
    return ctrl;
}
}  // namespace

TWOverViewerCtrl* TWOverViewerCtrl::shared() {
    if (!sharedCtrl()) sharedCtrl() = new TWOverViewerCtrl();
    return sharedCtrl();
}

void TWOverViewerCtrl::resetShared() {
    delete sharedCtrl();
    sharedCtrl() = nullptr;
}

TWOverViewerCtrl::TWOverViewerCtrl() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWOverViewerCtrl"));
    view_->setAutoFillBackground(true);
    view_->setBackgroundRole(QPalette::Base);  // white, or dark in the dark scheme
    overView_ = new TWOverView(view_);
    overView_->setDataSource(this);
    itemView_ = new TWOverViewItemView(view_);
    view_->installEventFilter(this);
}

TWOverViewerCtrl::~TWOverViewerCtrl() {
    delete view_;
}

bool TWOverViewerCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) layoutViews();
    return QObject::eventFilter(watched, event);
}

void TWOverViewerCtrl::layoutViews() {
    // Ring and legend side by side, centred together; the ring centred vertically, the
    // legend a little above the centre.
    const QSize area = view_->size();
    const int side = std::max(120, std::min(area.height() - 40, area.width() / 2 - kGap));
    const QSize legend = itemView_->sizeHint();
    const int total = side + kGap + legend.width();
    const int left = (area.width() - total) / 2;
    overView_->setGeometry(left, (area.height() - side) / 2, side, side);
    itemView_->setGeometry(left + side + kGap, area.height() / 2 - kLegendRaise - legend.height() / 2, legend.width(),
                           legend.height());
}

void TWOverViewerCtrl::reload() {
    if (!tw::MainQueue::shared().isMainThread()) {
        tw::MainQueue::shared().post([] {
            if (sharedCtrl()) sharedCtrl()->reload();
        });
        return;
    }
    const TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    std::vector<TWOverViewItemView::Row> rows;
    for (int category = 0; category < 8; ++category) {
        rows.push_back({QString::fromStdString(TWCategoryManager::nameOf(category)),
                        QString::fromStdString(
                            TWFileUtility::stringWithSize(manager.duplicateSizeOfCategory(TWCategory(category)))),
                        TWArcColor(*overView_, category)});
    }
    itemView_->setRows(std::move(rows));
    overView_->reload();
    layoutViews();
}

uint64_t TWOverViewerCtrl::TWArcProportion(TWOverView&, int category) {
    return TWDuplicateFilesManager::shared().duplicateSizeOfCategory(TWCategory(category));
}

QColor TWOverViewerCtrl::TWArcColor(TWOverView&, int category) {
    const TWColor color = TWCategoryManager::colorOf(category);
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

double TWOverViewerCtrl::sizeOfPartAtIndex(TWOverView& view, int category) {
    const uint64_t total = TWArcProportion(view, 0);
    if (total == 0) return 0;
    return double(TWArcProportion(view, category)) * 360.0 / double(total);
}

QString TWOverViewerCtrl::getBlockInformation(TWOverView& view, int category) {
    return QString::fromStdString(TWCategoryManager::nameOf(category)) + QLatin1Char(' ') +
           QString::fromStdString(TWFileUtility::stringWithSize(TWArcProportion(view, category)));
}

void TWOverViewerCtrl::overViewMouseUpEvent(TWOverView&, int category) {
    if (delegate_) delegate_->TWOverviewerCtrlSelectViewCatory(*this, category);
}
