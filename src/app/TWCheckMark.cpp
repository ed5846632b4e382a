#include "TWCheckMark.h"

#include <QCoreApplication>
#include <QPainter>

#include "TWArtwork.h"
#include "TWFileUtility.h"

void TWCheckMark::draw(QPainter& painter, const TWFileUtility& file, const QRectF& rect) {
    if (!file.refusesRemoval()) {
        TWArtwork::draw(painter, file.isChecked() ? QStringLiteral("chkImage") : QStringLiteral("unchkImage"), rect);
        return;
    }
    painter.save();
    painter.setOpacity(0.35);
    TWArtwork::draw(painter, QStringLiteral("unchkImage"), rect);
    painter.restore();
}

QString TWCheckMark::toolTip(const TWFileUtility& file) {
    if (!file.refusesRemoval()) return QCoreApplication::translate("TWCheckMark", "Mark for removal");
    QString tip = QCoreApplication::translate("TWCheckMark", "Cannot be marked: %1.")
                      .arg(QString::fromStdString(file.removalRefusalReason()));
    if (const QString note = linkNote(file); !note.isEmpty()) tip += QLatin1Char(' ') + note;
    return tip;
}

QString TWCheckMark::linkNote(const TWFileUtility& file) {
    const std::string link = file.linkPath();
    if (link.empty()) return {};
    return QCoreApplication::translate("TWCheckMark", "(through the link %1)").arg(QString::fromStdString(link));
}
