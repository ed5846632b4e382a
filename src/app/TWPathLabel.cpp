#include "app/TWPathLabel.h"

namespace {

const QString kEllipsis = QStringLiteral("…");

}  // namespace

QString TWPathLabel::folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString TWPathLabel::nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString TWPathLabel::elidedPath(const QString& path, const QString& note, const QFontMetrics& metrics, int width) {
    if (note.isEmpty()) return elidedPath(path, metrics, width);
    const int room = width - metrics.horizontalAdvance(note);
    if (room < width / 2) return elidedPath(path, metrics, width);
    return elidedPath(path, metrics, room) + note;
}

QString TWPathLabel::elidedPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (slash < 0) return metrics.elidedText(path, Qt::ElideMiddle, width);
    const QString tail = path.mid(slash);  // "/name"
    const int room = width - metrics.horizontalAdvance(tail);
    if (room < metrics.horizontalAdvance(kEllipsis)) return metrics.elidedText(name, Qt::ElideMiddle, width);
    // Keeps the folder's start and end, the middle gives way.
    const QString folder = path.left(slash);
    QString shortened = metrics.elidedText(folder, Qt::ElideMiddle, room);
    if (shortened.isEmpty()) shortened = kEllipsis;
    return shortened + tail;
}
