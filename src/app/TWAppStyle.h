#pragma once
// The app's look in one place: the light palette, the fonts the views name and the
// style sheet of the window chrome and buttons. Main thread only.

#include <QColor>
#include <QFont>
#include <QString>

class QApplication;
class QPainter;
class QRect;

class TWAppStyle {
public:
    // Fusion style, the light palette and the app-wide style sheet.
    static void apply(QApplication& app);

    // The desktop's sans-serif at `points` (the views' "12-point system font").
    static QFont systemFont(double points, bool bold = false);
    // The counters' face: "Helvetica Neue" where installed, else the closest sans.
    static QFont counterFont(double points);
    static QColor counterColor();  // RGB (0.290, 0.565, 0.886)
    // A grey of the given white level: 0.78 is the folder-page title's 78 % grey.
    static QColor grey(double fraction);

    static QColor windowBackground();
    static QColor headerBackground();
    static QColor border();
    // The header bars' background: a faint gradient with a border line at the bottom.
    static void paintHeaderBar(QPainter& painter, const QRect& rect);
    static QColor accent();
    static QColor secondaryText();
};
