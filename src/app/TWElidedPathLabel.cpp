#include "app/TWElidedPathLabel.h"

#include <algorithm>

#include "app/TWPathLabel.h"

void TWElidedPathLabel::setFullText(const QString& text) {
    fullText_ = text;
    fit();
}

void TWElidedPathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void TWElidedPathLabel::fit() {
    // The style sheet's padding (10 a side) is not part of the contents rectangle.
    const int room = contentsRect().width() - 2 * margin() - 20;
    const QString shown = TWPathLabel::elidedPath(fullText_, fontMetrics(), std::max(0, room));
    setText(shown);
    setToolTip(shown == fullText_ ? QString() : fullText_);
}
