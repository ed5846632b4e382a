#include "app/TWIconView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <cmath>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWBrowserNotifications.h"
#include "app/TWCheckMark.h"
#include "app/TWClickAnchor.h"
#include "app/TWFilesListModel.h"
#include "app/TWPathLabel.h"
#include "app/TWThumbnailCache.h"
#include "model/TWFilesListManager.h"
#include "platform/NotificationCenter.h"

TWIconView::TWIconView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("TWIconView"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);  // white, or dark in the dark scheme
    verticalScrollBar()->setSingleStep(24);
    connect(TWThumbnailCache::shared(), &TWThumbnailCache::thumbnailReady, viewport(), qOverload<>(&QWidget::update));
}

void TWIconView::setScalePercent(double percent) {
    percent = std::clamp(percent, 0.0, 1.0);
    if (std::fabs(percent - scalePercent_) <= 0.001) return;
    scalePercent_ = percent;
    reloadData();
}

void TWIconView::reloadData() {
    count_ = int(TWFilesListManager::shareFilesListManager().numberOfFilesItem());
    updateScrollBars();
    viewport()->update();
}

int TWIconView::itemWidth() const {
    return int(scalePercent_ * 340 + 68);
}

int TWIconView::itemsPerRow() const {
    return std::max(1, viewport()->width() / itemWidth());
}

int TWIconView::contentHeight() const {
    return std::max((count_ / itemsPerRow() + 1) * itemHeight(), viewport()->height());
}

void TWIconView::updateScrollBars() {
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, contentHeight() - viewport()->height()));
}

QRect TWIconView::itemRect(int index) const {
    const int perRow = itemsPerRow();
    const int w = itemWidth();
    const int left = (viewport()->width() - perRow * w) / 2;
    return QRect(left + (index % perRow) * w, (index / perRow) * itemHeight() - verticalScrollBar()->value(), w,
                 itemHeight());
}

QRect TWIconView::pictureRect(int index) const {
    const QRect item = itemRect(index);
    return QRect(item.left(), item.top(), item.width(), item.height() - kTitleBand).adjusted(4, 4, -4, -4);
}

QRect TWIconView::checkBoxRect(int index) const {
    const QRect name = nameRect(index);
    return QRect(name.left() - 33 + 8, name.top() - 4, 21, 25);
}

QRect TWIconView::nameRect(int index) const {
    const QRect item = itemRect(index);
    return QRect(item.left() + 33, item.bottom() + 1 - 6 - 15 - 17, item.width() - 33 - 6, 17);
}

QRect TWIconView::folderRect(int index) const {
    const QRect name = nameRect(index);
    return QRect(name.left(), name.bottom() + 1, name.width(), 15);
}

int TWIconView::indexAt(const QPoint& point) const {
    const int perRow = itemsPerRow();
    const int w = itemWidth();
    const int left = (viewport()->width() - perRow * w) / 2;
    const int x = point.x() - left;
    const int y = point.y() + verticalScrollBar()->value();
    if (x < 0 || y < 0 || x >= perRow * w) return -1;
    const int index = (y / itemHeight()) * perRow + x / w;
    return index < count_ ? index : -1;
}

void TWIconView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TWIconView::scrollContentsBy(int, int) {
    viewport()->update();
}

void TWIconView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    if (count_ == 0) {
        const QSize picture(180, 140);
        QRect target(QPoint(0, 0), picture);
        target.moveCenter(viewport()->rect().center());
        TWArtwork::draw(painter, QStringLiteral("noSelection_LiteBG"), target);
        return;
    }
    const auto selection = files.selection();
    const int perRow = itemsPerRow();
    const int h = itemHeight();
    const int scroll = verticalScrollBar()->value();
    const QRect exposed = event->rect();
    const int firstRow = std::max(0, (exposed.top() + scroll) / h);
    const int lastRow = (exposed.bottom() + scroll) / h;
    const int side = itemWidth() - 8;
    const QFont plain = TWAppStyle::systemFont(9.5);
    const QFont bold = TWAppStyle::systemFont(9.5, true);
    const QFont folderFont = TWAppStyle::systemFont(8.5);
    const QFontMetrics folderMetrics(folderFont);
    for (int index = firstRow * perRow; index < std::min(count_, (lastRow + 1) * perRow); ++index) {
        bool isFirst = false;
        auto file = files.fileItemAtIndex(size_t(index), &isFirst);
        if (!file) continue;
        const bool selected = selection.count(size_t(index)) > 0;
        const QRect item = itemRect(index);
        if (selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(TWAppStyle::adapt(QColor(0xE3, 0xEE, 0xFB)));
            painter.drawRoundedRect(QRectF(item).adjusted(2, 2, -2, -2), 8, 8);
        }
        const QRect pictureArea = pictureRect(index);
        const auto [picture, isThumbnail] = TWThumbnailCache::shared()->pictureForFile(file, side, std::min(128, side));
        if (!picture.isNull()) {
            QSize size = picture.size();
            if (isThumbnail || size.width() > pictureArea.width() || size.height() > pictureArea.height())
                size = size.scaled(pictureArea.size(), Qt::KeepAspectRatio);
            if (!isThumbnail) size = size.boundedTo(QSize(pictureArea.width() * 2 / 3, pictureArea.height() * 2 / 3));
            QRect target(QPoint(0, 0), size);
            target.moveCenter(pictureArea.center());
            if (isThumbnail) {
                painter.setPen(QPen(QColor(0, 0, 0, 30), 1));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(QRectF(target).adjusted(-0.5, -0.5, 0.5, 0.5));
            }
            painter.drawImage(target, picture);
        }
        TWCheckMark::draw(painter, *file, checkBoxRect(index));
        const QRect name = nameRect(index);
        const QFont& font = isFirst ? bold : plain;
        const QFontMetrics metrics(font);
        const QString text = metrics.elidedText(
            QString::fromStdString(TWFileUtility::lastPathComponent(file->filePath())), Qt::ElideMiddle, name.width());
        if (selected) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(TWAppStyle::accent());
            QRect highlight(name.left() - 3, name.top(), metrics.horizontalAdvance(text) + 6, name.height());
            painter.drawRoundedRect(QRectF(highlight), 4, 4);
        }
        painter.setFont(font);
        painter.setPen(selected ? QColor(Qt::white) : TWAppStyle::adapt(Qt::black));
        painter.drawText(name, Qt::AlignLeft | Qt::AlignVCenter, text);
        const QRect folder = folderRect(index);
        painter.setFont(folderFont);
        painter.setPen(TWAppStyle::grey(0.5));
        painter.drawText(folder, Qt::AlignLeft | Qt::AlignVCenter,
                         TWPathLabel::elidedPath(TWPathLabel::folderOf(QString::fromStdString(file->filePath())),
                                                 folderMetrics, folder.width()));
    }
}

bool TWIconView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = indexAt(help->pos());
        auto file = index >= 0 ? TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index)) : nullptr;
        if (file && checkBoxRect(index).contains(help->pos()))
            QToolTip::showText(help->globalPos(), TWCheckMark::toolTip(*file), viewport(), checkBoxRect(index));
        else if (file)
            QToolTip::showText(help->globalPos(), TWFilesListModel::toolTipOf(*file), viewport(), itemRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TWIconView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint point = event->position().toPoint();
    const int index = indexAt(point);
    if (index < 0) {
        TWFilesListManager::shareFilesListManager().setSelection({});
        viewport()->update();
        return;
    }
    if (checkBoxRect(index).contains(point)) {
        flipCheck(index);
        return;
    }
    selectWithClick(index, event->modifiers());
}

void TWIconView::flipCheck(int index) {
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    auto file = files.fileItemAtIndex(size_t(index));
    size_t position = TWDuplicateFile::kNotFound;
    auto group = files.duplicateFileAtFileItemIndex(size_t(index), &position);
    if (!file || !group || position == TWDuplicateFile::kNotFound) return;
    group->setChecked(!file->isChecked(), position);
    viewport()->update();
    tw::NotificationCenter::defaultCenter().post(TWFilesCheckDidChangedNotification);
}

void TWIconView::selectWithClick(int index, Qt::KeyboardModifiers modifiers) {
    // A click on a selected item changes nothing.
    if (TWFilesListManager::shareFilesListManager().selection().count(size_t(index))) return;
    TWClickAnchor::shared().click(index, modifiers);
    viewport()->update();
}

int TWIconView::lastSelectedIndex() const {
    return TWClickAnchor::shared().anchor();
}
