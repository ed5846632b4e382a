#include "TWOverViewItemView.h"

#include <QPainter>

#include "TWAppStyle.h"

TWOverViewItemView::TWOverViewItemView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TWOverViewItemView"));
}

void TWOverViewItemView::setRows(std::vector<Row> rows) {
    if (rows.size() > 8) rows.resize(8);
    rows_ = std::move(rows);
    updateGeometry();
    update();
}

QSize TWOverViewItemView::sizeHint() const {
    return QSize(230, int(std::max<size_t>(rows_.size(), 1)) * kRowHeight);
}

void TWOverViewItemView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont nameFont = TWAppStyle::systemFont(10.5);
    const QFont allFont = TWAppStyle::systemFont(10.5, true);
    const QFont sizeFont = TWAppStyle::systemFont(10.5, true);
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        const QRect r(0, int(i) * kRowHeight, width(), kRowHeight);
        painter.setPen(Qt::NoPen);
        painter.setBrush(row.color);
        painter.drawRoundedRect(QRectF(r.left() + 2, r.center().y() - 6, 12, 12), 3, 3);
        painter.setFont(i == 0 ? allFont : nameFont);
        painter.setPen(TWAppStyle::grey(0.2));
        painter.drawText(r.adjusted(24, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, row.name);
        painter.setFont(sizeFont);
        painter.setPen(i == 0 ? TWAppStyle::accent() : TWAppStyle::grey(0.35));
        painter.drawText(r, Qt::AlignRight | Qt::AlignVCenter, row.size);
        if (i == 0) {
            painter.setPen(QPen(TWAppStyle::adapt(QColor(0xE3, 0xE6, 0xEA)), 1));
            painter.drawLine(QPointF(0, r.bottom() + 0.5), QPointF(width(), r.bottom() + 0.5));
        }
    }
}
