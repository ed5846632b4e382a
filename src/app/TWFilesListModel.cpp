#include "app/TWFilesListModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWCheckMark.h"
#include "app/TWPathLabel.h"
#include "engine/TWMediaObjectUtility.h"
#include "model/TWFilesListManager.h"

int TWFilesListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return int(TWFilesListManager::shareFilesListManager().numberOfFilesItem());
}

QVariant TWFilesListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index.row()));
    if (!file) return QString();
    if (role == Qt::ToolTipRole) return toolTipOf(*file);
    QString path = QString::fromStdString(file->filePath());
    if (const QString link = TWCheckMark::linkNote(*file); !link.isEmpty()) path += QLatin1Char(' ') + link;
    return path;
}

QString TWFilesListModel::toolTipOf(const TWFileUtility& file) {
    QString path = QString::fromStdString(file.filePath());
    if (const QString link = TWCheckMark::linkNote(file); !link.isEmpty()) path += QLatin1Char(' ') + link;
    const QString library = libraryOf(file);
    if (library.isEmpty()) return path;
    return tr("%1\nIn the %2 library: removing it tags it there, the file stays on disk.").arg(path, library);
}

QString TWFilesListModel::libraryOf(const TWFileUtility& file) {
    const auto* item = dynamic_cast<const TWMediaObjectUtility*>(&file);
    if (!item) return {};
    const std::string name = item->libraryName();
    return name.empty() ? QStringLiteral("media") : QString::fromStdString(name);
}

void TWFilesListModel::reload() {
    beginResetModel();
    endResetModel();
}

// --- the cell ---

namespace {
constexpr int kButtonSide = 22;
constexpr int kTimeWidth = 150;
}  // namespace

QRect TWFilesListCellDelegate::checkBoxRect(const QRect& r) {
    return QRect(r.left() + 6, r.top() + (r.height() - 25) / 2, 21, 25);
}

QRect TWFilesListCellDelegate::ignoreRect(const QRect& r) {
    return QRect(r.right() - 8 - kButtonSide, r.top() + (r.height() - kButtonSide) / 2, kButtonSide, kButtonSide);
}

QRect TWFilesListCellDelegate::showInFinderRect(const QRect& r) {
    return ignoreRect(r).translated(-kButtonSide - 4, 0);
}

TWFilesListCellDelegate::Part TWFilesListCellDelegate::partAt(const QRect& r, const QPoint& point) {
    if (checkBoxRect(r).contains(point)) return Part::CheckBox;
    if (showInFinderRect(r).contains(point)) return Part::ShowInFinder;
    if (ignoreRect(r).contains(point)) return Part::Ignore;
    return Part::None;
}

QSize TWFilesListCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width() > 0 ? option.rect.width() : 400, kRowHeight);
}

void TWFilesListCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    bool isFirst = false;
    auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index.row()), &isFirst);
    if (!file) return;
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QColor background =
        selected ? TWAppStyle::adapt(QColor(0xDC, 0xE9, 0xF9))
                 : (index.row() % 2 ? TWAppStyle::adapt(QColor(0xF8, 0xF9, 0xFB)) : TWAppStyle::adapt(Qt::white));
    painter->fillRect(r, background);
    if (isFirst && index.row() > 0) {
        painter->setPen(QPen(TWAppStyle::adapt(QColor(0xD8, 0xDC, 0xE2)), 1));
        painter->drawLine(QPointF(r.left(), r.top() + 0.5), QPointF(r.right() + 1, r.top() + 0.5));
    }

    TWCheckMark::draw(*painter, *file, checkBoxRect(r));

    const QFont font = TWAppStyle::systemFont(9.5, isFirst);
    const QFontMetrics metrics(font);
    painter->setFont(font);
    painter->setPen(TWAppStyle::adapt(Qt::black));
    const QRect showRect = showInFinderRect(r);
    QRect timeRect(showRect.left() - 10 - kTimeWidth, r.top(), kTimeWidth, r.height());
    const int pathLeft = checkBoxRect(r).right() + 8;
    QRect pathRect(pathLeft, r.top(), std::max(0, timeRect.left() - 10 - pathLeft), r.height());
    // A library item's library, as a badge at the end of the path column.
    if (const QString library = TWFilesListModel::libraryOf(*file); !library.isEmpty()) {
        const QFont badgeFont = TWAppStyle::systemFont(8.5);
        const int width = QFontMetrics(badgeFont).horizontalAdvance(library) + 12;
        const QRect badge(pathRect.right() - width, r.top() + (r.height() - 16) / 2, width, 16);
        pathRect.setRight(badge.left() - 6);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0xE3, 0xEE, 0xFB));
        painter->drawRoundedRect(QRectF(badge), 8, 8);
        painter->setFont(badgeFont);
        painter->setPen(TWAppStyle::accent());
        painter->drawText(badge, Qt::AlignCenter, library);
        painter->setFont(font);
        painter->setPen(Qt::black);
    }
    // The path gives way in its folder part; a link's note follows it whole when there is room.
    const QString path = QString::fromStdString(file->filePath());
    QString note = TWCheckMark::linkNote(*file);
    if (!note.isEmpty()) note.prepend(QLatin1Char(' '));
    painter->drawText(pathRect, Qt::AlignLeft | Qt::AlignVCenter,
                      TWPathLabel::elidedPath(path, note, metrics, pathRect.width()));
    painter->drawText(timeRect, Qt::AlignRight | Qt::AlignVCenter,
                      QString::fromStdString(file->descriptionOfCreateTime()));

    if (option.state & QStyle::State_MouseOver || selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0, 0, 0, 14));
        painter->drawRoundedRect(QRectF(showRect).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter->drawRoundedRect(QRectF(ignoreRect(r)).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }
    TWArtwork::draw(*painter, QStringLiteral("openInFinder"), QRectF(showRect).adjusted(3, 3, -3, -3));
    TWArtwork::draw(*painter, QStringLiteral("hideFile"), QRectF(ignoreRect(r)).adjusted(3, 3, -3, -3));
    painter->restore();
}

bool TWFilesListCellDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease &&
        event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    const Part part = partAt(option.rect, mouse->position().toPoint());
    if (part == Part::None) return false;
    // A press on a part is not a selection click; the release acts.
    if (event->type() == QEvent::MouseButtonRelease && handler_) {
        const int row = index.row();
        // The handler may reload the model: leave the view's event first.
        QMetaObject::invokeMethod(
            this,
            [this, part, row] {
                if (handler_) handler_(part, row);
            },
            Qt::QueuedConnection);
    }
    return true;
}

bool TWFilesListCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString tip;
    switch (partAt(option.rect, event->pos())) {
        case Part::CheckBox:
            if (auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(index.row())))
                tip = TWCheckMark::toolTip(*file);
            break;
        case Part::ShowInFinder:
            tip = tr("Show in Folder");
            break;
        case Part::Ignore:
            tip = QStringLiteral("Ignore");
            break;
        case Part::None:
            tip = index.data(Qt::ToolTipRole).toString();
            break;
    }
    QToolTip::showText(event->globalPos(), tip, view);
    return true;
}
