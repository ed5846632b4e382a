#pragma once
// A slim band above the results: a line of text and one button beside it, hidden until
// shown. The bands that say something about the results shown build on it. Main
// thread only.

#include <QFrame>

class QLabel;
class QPushButton;

class TWResultBand : public QFrame {
    Q_OBJECT
public:
    // `name` is the band's object name, `colours` its style sheet rules (for #name).
    TWResultBand(QWidget* parent, const QString& name, const QString& colours, const QString& buttonTitle,
                 const QString& buttonToolTip);

    QLabel* label() const { return label_; }
    QPushButton* button() const { return button_; }

protected:
    // Shows the band with `text`; empty text hides it.
    void showText(const QString& text);

private:
    QLabel* label_ = nullptr;
    QPushButton* button_ = nullptr;
};
