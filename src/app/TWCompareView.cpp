#include "app/TWCompareView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWBrowserNotifications.h"
#include "app/TWCheckMark.h"
#include "app/TWClickAnchor.h"
#include "app/TWFilesListModel.h"
#include "app/TWPathLabel.h"
#include "app/TWResolutionReader.h"
#include "app/TWThumbnailCache.h"
#include "model/TWFilesListManager.h"
#include "platform/NotificationCenter.h"

namespace {

constexpr int kPictureSide = 180;
constexpr int kButtonHeight = 26;
const char* const kLabels[] = {"Date Created:", "Size:", "Resolution:", "Path:"};

}  // namespace

TWCompareView::TWCompareView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("TWCompareView"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);  // white, or dark in the dark scheme
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(30);
    connect(TWThumbnailCache::shared(), &TWThumbnailCache::thumbnailReady, viewport(), qOverload<>(&QWidget::update));
    connect(TWResolutionReader::shared(), &TWResolutionReader::resolutionReady, viewport(),
            qOverload<>(&QWidget::update));
}

QString TWCompareView::sizeCaption(uint64_t bytes, uint64_t bytesOnDisk) {
    return tr("%1 (%2 on disk)")
        .arg(QString::fromStdString(TWFileUtility::stringWithSize(bytes)),
             QString::fromStdString(TWFileUtility::stringWithSize(bytesOnDisk)));
}

void TWCompareView::reloadData() {
    count_ = int(TWFilesListManager::shareFilesListManager().numberOfFilesItem());
    updateScrollBars();
    viewport()->update();
}

void TWCompareView::updateScrollBars() {
    const int content = kMargin + count_ * (kCardHeight + kMargin);
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
}

void TWCompareView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TWCompareView::scrollContentsBy(int, int) {
    viewport()->update();
}

QRect TWCompareView::cardRect(int index) const {
    return QRect(kMargin, kMargin + index * (kCardHeight + kMargin) - verticalScrollBar()->value(),
                 std::max(0, viewport()->width() - 2 * kMargin), kCardHeight);
}

QRect TWCompareView::checkBoxRect(int index) const {
    const QRect card = cardRect(index);
    const QRect title = titleRect(index);
    return QRect(card.left() + 12, title.center().y() - 6, 14, 14);
}

QRect TWCompareView::titleRect(int index) const {
    const QRect card = cardRect(index);
    return QRect(card.left() + 34, card.top() + 4, card.width() - 46, 22);
}

QRect TWCompareView::folderRect(int index) const {
    const QRect title = titleRect(index);
    return QRect(title.left(), title.bottom() + 1, title.width(), 16);
}

QRect TWCompareView::pictureRect(int index) const {
    const QRect card = cardRect(index);
    const int side = std::min(kPictureSide, card.height() - kTitleHeight - 24);
    return QRect(card.left() + 16, card.top() + kTitleHeight + 12, side, side);
}

QRect TWCompareView::labelRect(int index, int row) const {
    const QRect picture = pictureRect(index);
    return QRect(picture.right() + 34, picture.top() + 14 + row * 30, kLabelWidth, kLabelHeight);
}

QRect TWCompareView::valueRect(int index, int row) const {
    const QRect label = labelRect(index, row);
    const QRect card = cardRect(index);
    const int left = label.right() + 1 + kLabelGap;
    return QRect(left, label.top(), std::max(0, card.right() - 16 - left), kLabelHeight);
}

QRect TWCompareView::showInFinderRect(int index) const {
    const QRect ignore = ignoreRect(index);
    return QRect(ignore.left() - 10 - 128, ignore.top(), 128, kButtonHeight);
}

QRect TWCompareView::ignoreRect(int index) const {
    const QRect card = cardRect(index);
    return QRect(card.right() - 16 - 84, card.bottom() - 16 - kButtonHeight, 84, kButtonHeight);
}

std::pair<int, TWCompareView::Part> TWCompareView::hitTest(const QPoint& point) const {
    const int y = point.y() + verticalScrollBar()->value() - kMargin;
    if (y < 0 || point.x() < kMargin || point.x() > viewport()->width() - kMargin) return {-1, Part::None};
    const int index = y / (kCardHeight + kMargin);
    if (index >= count_ || y % (kCardHeight + kMargin) >= kCardHeight) return {-1, Part::None};
    if (checkBoxRect(index).adjusted(-4, -4, 4, 4).contains(point)) return {index, Part::CheckBox};
    if (showInFinderRect(index).contains(point)) return {index, Part::ShowInFinder};
    if (ignoreRect(index).contains(point)) return {index, Part::Ignore};
    if (pictureRect(index).contains(point)) return {index, Part::Picture};
    if (titleRect(index).united(folderRect(index)).contains(point)) return {index, Part::Title};
    return {index, Part::Card};
}

QStringList TWCompareView::valuesOf(int index) const {
    auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index));
    if (!file) return {};
    return {QString::fromStdString(file->descriptionOfCreateTime()),
            sizeCaption(file->fileSize(), file->fileSizeOnDisk()), TWResolutionReader::shared()->resolutionText(file),
            pathCaption(*file)};
}

QString TWCompareView::fittedValue(int index, int row, int width) const {
    const QFontMetrics metrics(TWAppStyle::systemFont(9.5));
    auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index));
    if (!file) return {};
    if (row == 3) {
        const QString path = QString::fromStdString(file->filePath());
        const QString caption = pathCaption(*file);
        const QString note = caption.startsWith(path) ? caption.mid(path.size()) : QString();
        return TWPathLabel::elidedPath(path, note, metrics, width);
    }
    const QString value = row == 0   ? QString::fromStdString(file->descriptionOfCreateTime())
                          : row == 1 ? sizeCaption(file->fileSize(), file->fileSizeOnDisk())
                                     : TWResolutionReader::shared()->resolutionText(file);
    if (row == 1 && metrics.horizontalAdvance(value) > width)
        return metrics.elidedText(QString::fromStdString(TWFileUtility::stringWithSize(file->fileSize())),
                                  Qt::ElideRight, width);
    return metrics.elidedText(value, Qt::ElideRight, width);
}

QString TWCompareView::pathCaption(const TWFileUtility& file) {
    QString path = QString::fromStdString(file.filePath());
    if (const QString link = TWCheckMark::linkNote(file); !link.isEmpty()) path += QLatin1Char(' ') + link;
    const QString library = TWFilesListModel::libraryOf(file);
    return library.isEmpty() ? path : tr("%1 (in the %2 library)").arg(path, library);
}

void TWCompareView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (count_ == 0) {
        QRect target(0, 0, 180, 140);
        target.moveCenter(viewport()->rect().center());
        TWArtwork::draw(painter, QStringLiteral("noSelection_LiteBG"), target);
        return;
    }
    const int scroll = verticalScrollBar()->value();
    const int step = kCardHeight + kMargin;
    const int first = std::max(0, (event->rect().top() + scroll - kMargin) / step);
    const int last = std::min(count_ - 1, (event->rect().bottom() + scroll) / step);
    for (int index = first; index <= last; ++index) paintCard(painter, index);
}

void TWCompareView::paintCard(QPainter& painter, int index) {
    bool isFirst = false;
    auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index), &isFirst);
    if (!file) return;
    const bool selected = TWFilesListManager::shareFilesListManager().selection().count(size_t(index)) > 0;
    const QRect card = cardRect(index);

    painter.setPen(
        QPen(selected ? TWAppStyle::accent() : TWAppStyle::adapt(QColor(0xDD, 0xE1, 0xE6)), selected ? 2 : 1));
    painter.setBrush(TWAppStyle::adapt(Qt::white));
    painter.drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    // Title row.
    QRectF band(card.left() + 1, card.top() + 1, card.width() - 2, kTitleHeight + 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(selected ? TWAppStyle::adapt(QColor(0xE3, 0xEE, 0xFB))
                              : TWAppStyle::adapt(QColor(0xF6, 0xF7, 0xF9)));
    QPainterPath bandPath;
    bandPath.addRoundedRect(band, 7, 7);
    painter.save();
    painter.setClipRect(band);
    painter.drawPath(bandPath);
    painter.restore();
    painter.fillRect(QRectF(band.left(), band.bottom() - 6, band.width(), 6), painter.brush());
    painter.setPen(QPen(TWAppStyle::adapt(QColor(0xE6, 0xE8, 0xEC)), 1));
    painter.drawLine(QPointF(card.left() + 1, band.bottom() + 0.5), QPointF(card.right(), band.bottom() + 0.5));

    const QRect check = checkBoxRect(index);
    TWCheckMark::draw(painter, *file, QRectF(check).adjusted(-3.5, -5.5, 3.5, 5.5));
    const QFont titleFont = TWAppStyle::systemFont(10.5, isFirst);
    painter.setFont(titleFont);
    painter.setPen(TWAppStyle::adapt(QColor(0x24, 0x29, 0x2F)));
    const QRect title = titleRect(index);
    const QString path = QString::fromStdString(file->filePath());
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(titleFont).elidedText(TWPathLabel::nameOf(path), Qt::ElideMiddle, title.width()));
    const QFont folderFont = TWAppStyle::systemFont(8.5);
    painter.setFont(folderFont);
    painter.setPen(TWAppStyle::grey(0.5));
    const QRect folder = folderRect(index);
    painter.drawText(folder, Qt::AlignLeft | Qt::AlignVCenter,
                     TWPathLabel::elidedPath(TWPathLabel::folderOf(path), QFontMetrics(folderFont), folder.width()));

    // The picture.
    const QRect picture = pictureRect(index);
    painter.setPen(Qt::NoPen);
    painter.setBrush(TWAppStyle::adapt(QColor(0xF4, 0xF5, 0xF7)));
    painter.drawRoundedRect(QRectF(picture), 6, 6);
    const auto [image, thumbnail] = TWThumbnailCache::shared()->pictureForFile(file, picture.width(), 128);
    if (!image.isNull()) {
        QSize size = thumbnail ? image.size().scaled(picture.size() - QSize(12, 12), Qt::KeepAspectRatio)
                               : image.size().boundedTo(QSize(112, 112));
        QRect target(QPoint(0, 0), size);
        target.moveCenter(picture.center());
        painter.drawImage(target, image);
    }

    // The four label rows.
    const QFont labelFont = TWAppStyle::systemFont(9.5);
    const QFont valueFont = TWAppStyle::systemFont(9.5);
    for (int row = 0; row < 4; ++row) {
        painter.setFont(labelFont);
        painter.setPen(TWAppStyle::grey(0.5));
        // Right-aligned against the value column; a caption wider than its 80 points
        // may reach further left into the card's margin.
        const QRect label = labelRect(index, row);
        painter.drawText(QRect(label.right() - 119, label.top(), 120, label.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(kLabels[row]));
        painter.setFont(valueFont);
        painter.setPen(TWAppStyle::adapt(QColor(0x24, 0x29, 0x2F)));
        const QRect value = valueRect(index, row);
        painter.drawText(value, Qt::AlignLeft | Qt::AlignVCenter, fittedValue(index, row, value.width()));
    }

    // The buttons.
    auto drawButton = [&](const QRect& r, const QString& image, const QString& text) {
        painter.setPen(QPen(TWAppStyle::adapt(QColor(0xCF, 0xD4, 0xDB)), 1));
        painter.setBrush(TWAppStyle::adapt(QColor(0xFB, 0xFB, 0xFC)));
        painter.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        const QFont font = TWAppStyle::systemFont(9.5);
        const int textWidth = QFontMetrics(font).horizontalAdvance(text);
        const int left = r.left() + (r.width() - (16 + 6 + textWidth)) / 2;
        TWArtwork::draw(painter, image, QRectF(left, r.center().y() - 7.5, 16, 16));
        painter.setFont(font);
        painter.setPen(TWAppStyle::adapt(QColor(0x24, 0x29, 0x2F)));
        painter.drawText(QRect(left + 22, r.top(), textWidth + 2, r.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    };
    drawButton(showInFinderRect(index), QStringLiteral("openInFinder"), tr("Show in Folder"));
    drawButton(ignoreRect(index), QStringLiteral("hideFile"), QStringLiteral("Ignore"));
}

bool TWCompareView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto [index, part] = hitTest(help->pos());
        QString tip;
        if (index >= 0) {
            const QStringList values = valuesOf(index);
            for (int row = 0; row < 4; ++row)
                if (valueRect(index, row).contains(help->pos())) tip = values.value(row);
            auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index));
            if (file && part == Part::Title) tip = TWFilesListModel::toolTipOf(*file);
            if (file && part == Part::CheckBox) tip = TWCheckMark::toolTip(*file);
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TWCompareView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = hitTest(event->position().toPoint());
    const auto [index, part] = pressed_;
    if (index < 0) {
        TWFilesListManager::shareFilesListManager().setSelection({});
        viewport()->update();
        return;
    }
    if (part == Part::Picture || part == Part::Title) select(index, event->modifiers());
}

void TWCompareView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const auto hit = hitTest(event->position().toPoint());
    const auto pressed = pressed_;
    pressed_ = {-1, Part::None};
    // Buttons act when released over the part they were pressed on.
    if (hit != pressed || hit.first < 0) return;
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    const size_t row = size_t(hit.first);
    switch (hit.second) {
        case Part::CheckBox: {
            auto file = files.fileItemAtIndex(row);
            if (file && files.checkedFileItem(!file->isChecked(), row)) {
                viewport()->update();
                tw::NotificationCenter::defaultCenter().post(TWFilesCheckDidChangedNotification);
            }
            break;
        }
        case Part::ShowInFinder:
            files.showInFinderFileItemAtIndex(row);
            break;
        case Part::Ignore:
            if (files.ignoreFileItemAtIndex(row)) {
                tw::NotificationCenter::defaultCenter().post(TWFilesIgnoredChangedNotification);
                reloadData();
            }
            break;
        default:
            break;
    }
}

void TWCompareView::select(int index, Qt::KeyboardModifiers modifiers) {
    TWClickAnchor::shared().click(index, modifiers);
    viewport()->update();
}

int TWCompareView::lastSelectedIndex() const {
    return TWClickAnchor::shared().anchor();
}
