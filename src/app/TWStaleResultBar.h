#pragma once
// The band above the results that says they do not cover the folders as they are: the
// scan was stopped early, or files were put back from the Trash after a removal. Its
// "Scan Again" scans the same folders once more. Hidden until told. Main thread only.

#include "app/TWResultBand.h"

class TWStaleResultBar : public TWResultBand {
    Q_OBJECT
public:
    explicit TWStaleResultBar(QWidget* parent);

    // Shows the band with the reason.
    void showScanStopped();
    void showFilesPutBack();

    QPushButton* scanAgainButton() const { return button(); }

signals:
    void scanAgainClicked();
};
