#pragma once
// A label that shows a path (or any title) as it fits its width: a path gives way in
// its folders and keeps its file name (TWPathLabel); the whole text is its tooltip when
// it had to be shortened. Main thread only.

#include <QLabel>

class TWElidedPathLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // The whole text; shown shortened as the width requires.
    void setFullText(const QString& text);
    QString fullText() const { return fullText_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QString fullText_;
};
