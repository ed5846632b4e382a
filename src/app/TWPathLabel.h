#pragma once
// How the result views write a file's place when it does not fit: the folder part is
// shortened in its middle and the file name is kept whole, so that two copies in
// different folders stay apart and the name is always readable. Only when the name
// alone is wider than the room is the name itself shortened, in its middle, so that
// its extension stays. Pure text functions; any thread that may use QFontMetrics
// (the GUI thread).

#include <QFontMetrics>
#include <QString>

class TWPathLabel {
public:
    // `path` as it fits in `width` pixels of `metrics`' font.
    static QString elidedPath(const QString& path, const QFontMetrics& metrics, int width);
    // `path` followed by `note` (" (through the link …)"): the note stays whole while
    // the path keeps at least half the room; otherwise the path alone, as it fits.
    static QString elidedPath(const QString& path, const QString& note, const QFontMetrics& metrics, int width);
    // The folder that holds `path` ("/" for a file at the root).
    static QString folderOf(const QString& path);
    // The last component of `path`.
    static QString nameOf(const QString& path);
};
