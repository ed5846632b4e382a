#include "app/TWResultBand.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/TWAppStyle.h"

TWResultBand::TWResultBand(QWidget* parent, const QString& name, const QString& colours, const QString& buttonTitle,
                           const QString& buttonToolTip)
    : QFrame(parent) {
    setObjectName(name);
    setStyleSheet(TWAppStyle::adaptStyleSheet(colours));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    label_ = new QLabel(this);
    label_->setWordWrap(true);
    layout->addWidget(label_, 1);
    button_ = new QPushButton(buttonTitle, this);
    button_->setToolTip(buttonToolTip);
    layout->addWidget(button_);
    hide();
}

void TWResultBand::showText(const QString& text) {
    label_->setText(text);
    setVisible(!text.isEmpty());
}
