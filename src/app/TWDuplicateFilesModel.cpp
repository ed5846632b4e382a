#include "app/TWDuplicateFilesModel.h"

#include <QPainter>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWThumbnailCache.h"
#include "model/TWDuplicateFilesManager.h"

int TWDuplicateFilesModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return int(TWDuplicateFilesManager::shared().numberOfDisplayDuplicateFiles());
}

QVariant TWDuplicateFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    TWDuplicateFile::Ptr group = groupAt(index.row());
    if (!group) return {};
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(group->filename());
        case Qt::ToolTipRole:
            return toolTipOf(*group);
        default:
            return {};
    }
}

QString TWDuplicateFilesModel::toolTipOf(const TWDuplicateFile& group) {
    const std::vector<TWDuplicateFile::FilePtr> files = group.itemsOfFileUtility();
    QStringList lines;
    for (size_t i = 0; i < files.size() && i < size_t(kToolTipPaths); ++i)
        lines << QString::fromStdString(files[i]->filePath());
    if (files.size() > size_t(kToolTipPaths)) lines << tr("…and %n more", nullptr, int(files.size() - kToolTipPaths));
    return lines.join(QLatin1Char('\n'));
}

TWDuplicateFile::Ptr TWDuplicateFilesModel::groupAt(int row) {
    if (row < 0) return nullptr;
    return TWDuplicateFilesManager::shared().duplicateFileForDisplayAtIndex(size_t(row));
}

void TWDuplicateFilesModel::reload() {
    beginResetModel();
    endResetModel();
}

void TWDuplicateFilesModel::refreshRows() {
    const int rows = rowCount();
    if (rows > 0) emit dataChanged(index(0), index(rows - 1));
}

// --- the cell ---

QSize TWDuplicateFilesCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width() > 0 ? option.rect.width() : 240, kRowHeight);
}

void TWDuplicateFilesCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    TWDuplicateFile::Ptr group = TWDuplicateFilesModel::groupAt(index.row());
    if (!group) return;
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    TWArtwork::draw(*painter, selected ? QStringLiteral("tipsBg_selected") : QStringLiteral("tipsBg_normal"), r);

    // The first file's picture.
    const QRect iconRect(r.left() + 10, r.top() + 10, 36, 36);
    QImage picture = TWThumbnailCache::shared()->pictureForFile(group->firstFile(), 64);
    if (!picture.isNull()) {
        QSize size = picture.size().scaled(iconRect.size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), size);
        target.moveCenter(iconRect.center());
        painter->drawImage(target, picture);
    }

    const int textLeft = iconRect.right() + 10;
    const QString checked = QString::asprintf("%lu", static_cast<unsigned long>(group->numberOfChecked()));
    const QString files = QString::asprintf("%lu", static_cast<unsigned long>(group->numberOfFiles()));
    const QFont countFont = TWAppStyle::systemFont(10);
    const QFontMetrics countMetrics(countFont);
    const QString ofFiles = QStringLiteral(" / ") + files;
    const int countsWidth = countMetrics.horizontalAdvance(checked) + countMetrics.horizontalAdvance(ofFiles);
    const int right = r.right() - 12;

    const QColor nameColor = selected ? QColor(Qt::white) : TWAppStyle::adapt(Qt::black);
    const QColor greyColor = selected ? QColor(Qt::white) : TWAppStyle::grey(0.5);
    const QColor blueColor = selected ? QColor(Qt::white) : TWAppStyle::accent();

    QFont nameFont = TWAppStyle::systemFont(10.5, true);
    painter->setFont(nameFont);
    painter->setPen(nameColor);
    QRect nameRect(textLeft, r.top() + 9, right - textLeft, 20);
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(nameFont).elidedText(QString::fromStdString(group->filename()), Qt::ElideMiddle,
                                                        nameRect.width()));

    painter->setFont(countFont);
    QRect lower(textLeft, r.top() + 30, right - textLeft, 18);
    painter->setPen(greyColor);
    painter->drawText(lower.adjusted(0, 0, -countsWidth - 8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      QString::fromStdString(TWFileUtility::stringWithSize(group->totalSize())));
    QRect countsRect(right - countsWidth, lower.top(), countsWidth, lower.height());
    painter->setPen(blueColor);
    painter->drawText(countsRect, Qt::AlignLeft | Qt::AlignVCenter, checked);
    painter->setPen(greyColor);
    painter->drawText(countsRect, Qt::AlignRight | Qt::AlignVCenter, ofFiles);

    painter->setPen(
        QPen(selected ? TWAppStyle::adapt(QColor(0x2A, 0x6C, 0xBD)) : TWAppStyle::adapt(QColor(0xE6, 0xE8, 0xEC)), 1));
    painter->drawLine(QPointF(r.left(), r.bottom() + 0.5), QPointF(r.right() + 1, r.bottom() + 0.5));
    painter->restore();
}
