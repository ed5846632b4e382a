#pragma once
// The app's look in one place: the light and dark palettes, the fonts the views name
// and the colours of the window chrome and buttons. Main thread only.
//
// The views are drawn in light colours; in the dark scheme every colour passes through
// adapt(): neutral greys and pale tints swap their lightness, saturated colours (the
// accent, the categories' colours, red) stay. Style sheets, explicit widget palettes
// and the artwork are adapted the same way as widgets are polished, so the views need
// no scheme of their own.

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>

class QAbstractButton;
class QApplication;
class QMenu;
class QPainter;
class QRect;

// Tells views that draw text with colours of their own (rich text) to build it anew.
class TWSchemeNotifier : public QObject {
    Q_OBJECT
signals:
    void changed(bool dark);
};

class TWAppStyle {
public:
    // Emits changed() after every change of the scheme.
    static TWSchemeNotifier* notifier();

    // Fusion style, the palette of the current scheme, the app font, and the filter
    // that adapts style sheets and palettes of widgets as they are polished.
    static void apply(QApplication& app);

    // The scheme shown. Changing it repaints every window.
    static bool isDark();
    static void setDark(bool dark);

    // `light` as the current scheme shows it.
    static QColor adapt(const QColor& light);
    // A style sheet or rich text with its hex colours adapted, and white backgrounds.
    static QString adaptStyleSheet(const QString& sheet);
    // An SVG drawing with its hex colours adapted.
    static QByteArray adaptSvg(const QByteArray& svg);

    // The desktop's sans-serif at `points` as the code names them, set in pixels at
    // 96 dpi (points x 4/3), so that Qt scales it with the screen, not with the X
    // server's idea of dots per inch.
    static QFont systemFont(double points, bool bold = false);
    // The sans-serif at `pixels` device-independent pixels: the design sizes of the
    // views ("12-point system font" is 12 pixels).
    static QFont designFont(int pixels, bool bold = false);
    // The counters' face at `pixels`: "Helvetica Neue" where installed, else the
    // closest sans.
    static QFont counterFont(int pixels);
    static QColor counterColor();  // RGB (0.290, 0.565, 0.886)
    // A grey of the given white level: 0.78 is the folder-page title's 78 % grey.
    static QColor grey(double fraction);

    static QColor windowBackground();
    static QColor headerBackground();
    static QColor border();
    static QColor text();
    // The header bars' background: a faint gradient with a border line at the bottom.
    static void paintHeaderBar(QPainter& painter, const QRect& rect);
    static QColor accent();
    static QColor secondaryText();

    // A button that pops up `menu` keeps its hover look after the menu closes when the
    // pointer left it meanwhile (it never saw the pointer leave): this drops that look
    // as the menu closes, unless the pointer is over the button then.
    static void dropHoverWhenMenuCloses(QAbstractButton* button, QMenu* menu);
};
