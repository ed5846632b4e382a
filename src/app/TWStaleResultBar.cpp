#include "TWStaleResultBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "TWAppStyle.h"

TWStaleResultBar::TWStaleResultBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("staleResultBar"));
    setStyleSheet(TWAppStyle::adaptStyleSheet(
        QStringLiteral("#staleResultBar { background: #FFF4D6; border-bottom: 1px solid #E8D8A8; }")));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    label_ = new QLabel(this);
    label_->setWordWrap(true);
    layout->addWidget(label_, 1);
    scanAgain_ = new QPushButton(tr("Scan Again"), this);
    scanAgain_->setToolTip(tr("Scan the same folders again"));
    layout->addWidget(scanAgain_);
    connect(scanAgain_, &QPushButton::clicked, this, &TWStaleResultBar::scanAgainClicked);
    hide();
}

void TWStaleResultBar::showScanStopped() {
    label_->setText(tr("The scan was stopped: these results show only what it found so far."));
    show();
}

void TWStaleResultBar::showFilesPutBack() {
    label_->setText(tr("Files were put back from the Trash: these results are out of date."));
    show();
}
