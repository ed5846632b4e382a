#include "TWAppStyle.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QStyle>
#include <QStyleFactory>

void TWAppStyle::apply(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    QPalette palette = app.style()->standardPalette();
    palette.setColor(QPalette::Window, windowBackground());
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xF6, 0xF7, 0xF9));
    palette.setColor(QPalette::WindowText, QColor(0x24, 0x29, 0x2F));
    palette.setColor(QPalette::Text, QColor(0x24, 0x29, 0x2F));
    palette.setColor(QPalette::ButtonText, QColor(0x24, 0x29, 0x2F));
    palette.setColor(QPalette::Button, QColor(0xF4, 0xF5, 0xF7));
    palette.setColor(QPalette::Highlight, accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0x33, 0x37, 0x3D));
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, secondaryText());
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0xA6, 0xAE));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0xA0, 0xA6, 0xAE));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xA0, 0xA6, 0xAE));
    app.setPalette(palette);
    app.setFont(systemFont(10));
}

QFont TWAppStyle::systemFont(double points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Cantarell"), QStringLiteral("Inter"), QStringLiteral("Noto Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont TWAppStyle::counterFont(double points) {
    QFont font = systemFont(points);
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
    return QColor::fromRgbF(level, level, level);
}

QColor TWAppStyle::windowBackground() {
    return QColor(0xFA, 0xFA, 0xFB);
}

QColor TWAppStyle::headerBackground() {
    return QColor(0xEE, 0xEF, 0xF2);
}

QColor TWAppStyle::border() {
    return QColor(0xD3, 0xD6, 0xDC);
}

QColor TWAppStyle::accent() {
    return QColor(0x3A, 0x86, 0xDE);
}

QColor TWAppStyle::secondaryText() {
    return QColor(0x6B, 0x72, 0x80);
}

void TWAppStyle::paintHeaderBar(QPainter& painter, const QRect& rect) {
    QLinearGradient gradient(0, rect.top(), 0, rect.bottom() + 1);
    gradient.setColorAt(0, headerBackground().lighter(102));
    gradient.setColorAt(1, headerBackground());
    painter.fillRect(rect, gradient);
    painter.setPen(border());
    painter.drawLine(rect.left(), rect.bottom(), rect.right() + 1, rect.bottom());
}
