#include "app/TWAppStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QRect>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <algorithm>

#include "app/TWFocusRing.h"

namespace {

bool& darkScheme() {
    static bool dark = false;
    return dark;
}

constexpr const char* kLightSheet = "twLightStyleSheet";
constexpr const char* kShownSheet = "twShownStyleSheet";
constexpr const char* kLightPalette = "twLightPalette";

QPalette lightPalette(QApplication& app) {
    QPalette palette = app.style()->standardPalette();
    const QColor text(0x24, 0x29, 0x2F), disabled(0xA0, 0xA6, 0xAE);
    palette.setColor(QPalette::Window, QColor(0xFA, 0xFA, 0xFB));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xF6, 0xF7, 0xF9));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Button, QColor(0xF4, 0xF5, 0xF7));
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Midlight, QColor(0xE4, 0xE7, 0xEB));
    palette.setColor(QPalette::Mid, QColor(0xC9, 0xCD, 0xD4));
    palette.setColor(QPalette::Dark, QColor(0xA0, 0xA6, 0xAE));
    palette.setColor(QPalette::Shadow, QColor(0x6B, 0x72, 0x80));
    palette.setColor(QPalette::Highlight, QColor(0x3A, 0x86, 0xDE));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0x33, 0x37, 0x3D));
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0x6B, 0x72, 0x80));
    palette.setColor(QPalette::Link, QColor(0x2D, 0x6F, 0xBD));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

// Every colour of every group adapted; tool tips keep their dark face.
QPalette adapted(const QPalette& light) {
    QPalette palette = light;
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = QPalette::ColorGroup(g);
            const auto role = QPalette::ColorRole(r);
            if (role == QPalette::ToolTipBase || role == QPalette::ToolTipText || role == QPalette::HighlightedText)
                continue;
            palette.setColor(group, role, TWAppStyle::adapt(light.color(group, role)));
        }
    }
    return palette;
}

QString adaptHex(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{3})\\b"));
    QString out;
    qsizetype last = 0;
    for (auto it = hex.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        out += text.mid(last, match.capturedStart() - last);
        out += TWAppStyle::adapt(QColor(match.captured(0))).name();
        last = match.capturedEnd();
    }
    return out + text.mid(last);
}

// Adapts a widget's own style sheet and palette when it is polished, and puts the
// light ones back in the light scheme. The light originals are kept in properties.
void adaptWidget(QWidget* widget) {
    // Setting a sheet or a palette polishes the widget again; that pass is ours.
    static bool busy = false;
    if (busy) return;
    busy = true;
    // Palettes a view set itself first, before a dark style sheet colours them: adapted
    // in the dark scheme, given back in the light.
    const QVariant stored = widget->property(kLightPalette);
    if (darkScheme() && widget->testAttribute(Qt::WA_SetPalette)) {
        if (!stored.isValid()) widget->setProperty(kLightPalette, QVariant::fromValue(widget->palette()));
        widget->setPalette(adapted(widget->property(kLightPalette).value<QPalette>()));
    } else if (!darkScheme() && stored.isValid()) {
        widget->setPalette(stored.value<QPalette>());
        widget->setProperty(kLightPalette, QVariant());
    }
    const QString sheet = widget->styleSheet();
    if (!sheet.isEmpty() && sheet != widget->property(kShownSheet).toString()) {
        widget->setProperty(kLightSheet, sheet);  // set anew by the view itself
    }
    const QString light = widget->property(kLightSheet).toString();
    if (!light.isEmpty()) {
        const QString shown = darkScheme() ? TWAppStyle::adaptStyleSheet(light) : light;
        widget->setProperty(kShownSheet, shown);
        if (shown != sheet) widget->setStyleSheet(shown);
    }
    busy = false;
}

class SchemeFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((event->type() == QEvent::Polish || event->type() == QEvent::StyleChange) && watched->isWidgetType())
            adaptWidget(static_cast<QWidget*>(watched));
        return false;
    }
};

}  // namespace

void TWAppStyle::apply(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    static SchemeFilter* filter = nullptr;
    if (!filter) {
        filter = new SchemeFilter(&app);
        app.installEventFilter(filter);
        TWFocusRing::install();
    }
    const QPalette light = lightPalette(app);
    app.setPalette(darkScheme() ? adapted(light) : light);
    app.setFont(systemFont(10));
}

TWSchemeNotifier* TWAppStyle::notifier() {
    static TWSchemeNotifier notifier;
    return &notifier;
}

bool TWAppStyle::isDark() {
    return darkScheme();
}

void TWAppStyle::setDark(bool dark) {
    if (darkScheme() == dark) return;
    darkScheme() = dark;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return;
    apply(*app);
    // Widgets below a style sheet keep the palette they were polished with: a new
    // application sheet polishes every widget again, with the new palette.
    app->setStyleSheet(dark ? QStringLiteral("/* dark */") : QString());
    QPixmapCache::clear();
    for (QWidget* widget : QApplication::allWidgets()) {
        adaptWidget(widget);
        widget->update();
    }
    emit notifier()->changed(dark);
}

QColor TWAppStyle::adapt(const QColor& light) {
    if (!darkScheme() || !light.isValid()) return light;
    float h, s, l, a;
    light.getHslF(&h, &s, &l, &a);
    // Saturated colours of middle lightness carry meaning (accent, categories): kept.
    if (s >= 0.35f && l <= 0.82f) return light;
    const float swapped = 0.10f + (1.0f - l) * 0.82f;  // white -> 10 %, black -> 92 %
    // Greys have no hue (-1), which fromHslF does not take.
    return QColor::fromHslF(std::max(h, 0.0f), s >= 0.35f ? s * 0.5f : s, swapped, a);
}

QString TWAppStyle::adaptStyleSheet(const QString& sheet) {
    if (!darkScheme()) return sheet;
    static const QRegularExpression whiteBackground(QStringLiteral("(background(-color)?\\s*:\\s*)white\\b"));
    QString out = sheet;
    out.replace(whiteBackground, QStringLiteral("\\1#ffffff"));
    return adaptHex(out);
}

QByteArray TWAppStyle::adaptSvg(const QByteArray& svg) {
    if (!darkScheme()) return svg;
    return adaptHex(QString::fromUtf8(svg)).toUtf8();
}

QFont TWAppStyle::systemFont(double points, bool bold) {
    return designFont(qRound(points * 96.0 / 72.0), bold);
}

QFont TWAppStyle::designFont(int pixels, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Cantarell"), QStringLiteral("Inter"), QStringLiteral("Noto Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont TWAppStyle::counterFont(int pixels) {
    QFont font = designFont(pixels);
    QStringList families = font.families();
    families.prepend(QStringLiteral("Helvetica Neue"));
    font.setFamilies(families);
    return font;
}

QColor TWAppStyle::counterColor() {
    return QColor::fromRgbF(0.290f, 0.565f, 0.886f);
}

QColor TWAppStyle::grey(double fraction) {
    float level = float(fraction);
    return adapt(QColor::fromRgbF(level, level, level));
}

QColor TWAppStyle::windowBackground() {
    return adapt(QColor(0xFA, 0xFA, 0xFB));
}

QColor TWAppStyle::headerBackground() {
    return adapt(QColor(0xEE, 0xEF, 0xF2));
}

QColor TWAppStyle::border() {
    return adapt(QColor(0xD3, 0xD6, 0xDC));
}

QColor TWAppStyle::text() {
    return adapt(QColor(0x24, 0x29, 0x2F));
}

QColor TWAppStyle::accent() {
    return QColor(0x3A, 0x86, 0xDE);
}

QColor TWAppStyle::secondaryText() {
    return adapt(QColor(0x6B, 0x72, 0x80));
}

void TWAppStyle::paintHeaderBar(QPainter& painter, const QRect& rect) {
    QLinearGradient gradient(0, rect.top(), 0, rect.bottom() + 1);
    gradient.setColorAt(0, headerBackground().lighter(102));
    gradient.setColorAt(1, headerBackground());
    painter.fillRect(rect, gradient);
    painter.setPen(border());
    painter.drawLine(rect.left(), rect.bottom(), rect.right() + 1, rect.bottom());
}

void TWAppStyle::dropHoverWhenMenuCloses(QAbstractButton* button, QMenu* menu) {
    QObject::connect(menu, &QMenu::aboutToHide, button, [button] {
        // After the menu is gone, so that the button is drawn in its closed state.
        QMetaObject::invokeMethod(
            button,
            [button] {
                if (button->rect().contains(button->mapFromGlobal(QCursor::pos()))) return;
                button->setAttribute(Qt::WA_UnderMouse, false);
                button->update();
            },
            Qt::QueuedConnection);
    });
}
