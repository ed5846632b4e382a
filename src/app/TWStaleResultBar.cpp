#include "app/TWStaleResultBar.h"

#include <QPushButton>

TWStaleResultBar::TWStaleResultBar(QWidget* parent)
    : TWResultBand(parent, QStringLiteral("staleResultBar"),
                   QStringLiteral("#staleResultBar { background: #FFF4D6; border-bottom: 1px solid #E8D8A8; }"),
                   tr("Scan Again"), tr("Scan the same folders again")) {
    connect(button(), &QPushButton::clicked, this, &TWStaleResultBar::scanAgainClicked);
}

void TWStaleResultBar::showScanStopped() {
    showText(tr("The scan was stopped: these results show only what it found so far."));
}

void TWStaleResultBar::showFilesPutBack() {
    showText(tr("Files were put back from the Trash: these results are out of date."));
}
