#pragma once
// The check box of a file in the browser's views (the file list, the icon view and the
// compare view). A file that no mark may touch (it lies outside the chosen folders, or
// inside a layer folder of an overlay) shows a dimmed, empty box whose tool tip says
// why a click does nothing; a file reached through a link names that link.
//
// Main thread only.

#include <QRectF>
#include <QString>

class QPainter;
class TWFileUtility;

class TWCheckMark {
public:
    static void draw(QPainter& painter, const TWFileUtility& file, const QRectF& rect);
    // "Mark for removal", or why the file cannot be marked.
    static QString toolTip(const TWFileUtility& file);
    // "(through the link <path>)" for a file outside the chosen folders; empty otherwise.
    static QString linkNote(const TWFileUtility& file);
};
