#pragma once
// The band above the results that says they do not cover the folders as they are: the
// scan was stopped early, or files were put back from the Trash after a removal. Its
// "Scan Again" scans the same folders once more. Hidden until told. Main thread only.

#include <QFrame>

class QLabel;
class QPushButton;

class TWStaleResultBar : public QFrame {
    Q_OBJECT
public:
    explicit TWStaleResultBar(QWidget* parent);

    // Shows the band with the reason.
    void showScanStopped();
    void showFilesPutBack();

    QLabel* label() const { return label_; }
    QPushButton* scanAgainButton() const { return scanAgain_; }

signals:
    void scanAgainClicked();

private:
    QLabel* label_ = nullptr;
    QPushButton* scanAgain_ = nullptr;
};
