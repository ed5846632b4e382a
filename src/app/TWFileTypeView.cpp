#include "TWFileTypeView.h"

#include <QFontMetricsF>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>

#include "TWAppStyle.h"

namespace {
QFont chipFont() {
    QFont font = TWAppStyle::systemFont(9);
    font.setPixelSize(12);
    return font;
}

// Ends the edit when the field loses focus, as a click elsewhere in the window would.
class ChipEditor : public QLineEdit {
public:
    ChipEditor(QWidget* parent, std::function<void()> onFocusOut)
        : QLineEdit(parent), onFocusOut_(std::move(onFocusOut)) {}

protected:
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        if (event->reason() != Qt::PopupFocusReason && onFocusOut_) onFocusOut_();
    }

private:
    std::function<void()> onFocusOut_;
};
}  // namespace

TWFileTypeView::TWFileTypeView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TWFileTypeView"));
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setFocusPolicy(Qt::ClickFocus);
}

void TWFileTypeView::setDataSource(TWFileTypeViewDataSource* dataSource) {
    dataSource_ = dataSource;
    reloadData();
}

void TWFileTypeView::reloadData() {
    texts_.clear();
    size_t count = dataSource_ ? dataSource_->numberOfFilterFileType(*this) : 0;
    for (size_t i = 0; i < count; ++i) {
        auto text = dataSource_->filterFileTypePathAt(*this, int64_t(i));
        texts_.push_back(QString::fromStdString(text.value_or(std::string())));
    }
    if (selected_ >= int(texts_.size())) setSelectedIndex(-1);
    relayout();
}

QString TWFileTypeView::textAt(size_t index) const {
    return index < texts_.size() ? texts_[index] : QString();
}

// --- layout ---

double TWFileTypeView::chipWidth(size_t index) const {
    if (int(index) == editing_) return kEditingTextWidth + kChipPadding;
    return std::ceil(QFontMetricsF(chipFont()).horizontalAdvance(texts_[index])) + kChipPadding;
}

std::vector<QRectF> TWFileTypeView::layoutFor(double width) const {
    std::vector<QRectF> cells;
    double x = 0;
    double y = 0;
    for (size_t i = 0; i < texts_.size(); ++i) {
        double w = chipWidth(i);
        if (x > 0 && x + w > width) {
            x = 0;
            y += kRowHeight;
        }
        cells.emplace_back(x, y, w, kRowHeight);
        x += w;
    }
    return cells;
}

void TWFileTypeView::relayout() {
    cells_ = layoutFor(width());
    if (editor_ && editing_ >= 0 && size_t(editing_) < cells_.size()) {
        editor_->setGeometry(textRect(size_t(editing_)).toAlignedRect());
    }
    updateGeometry();
    update();
}

QRectF TWFileTypeView::textRect(size_t index) const {
    return cells_[index].adjusted(kInsetX + kTextInset, kInsetY, -(kInsetX + kTextInset), -kInsetY);
}

int TWFileTypeView::heightForWidth(int width) const {
    auto cells = layoutFor(width);
    int rows = cells.empty() ? 1 : int(cells.back().bottom() / kRowHeight);
    return rows * kRowHeight;
}

QSize TWFileTypeView::sizeHint() const {
    return QSize(400, heightForWidth(std::max(width(), 400)));
}

void TWFileTypeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

int TWFileTypeView::chipAt(const QPointF& point) const {
    for (size_t i = 0; i < cells_.size(); ++i) {
        if (cells_[i].contains(point)) return int(i);
    }
    return -1;
}

// --- selection and editing ---

void TWFileTypeView::setSelectedIndex(int index) {
    if (index < -1 || index >= int(texts_.size())) index = -1;
    if (index == selected_) return;
    selected_ = index;
    update();
    emit selectionChanged(selected_);
}

void TWFileTypeView::startEditing(int index) {
    endEditing();
    if (index < 0 || index >= int(texts_.size())) return;
    editing_ = index;
    auto* editor = new ChipEditor(this, [this] { endEditing(); });
    editor->setObjectName(QStringLiteral("fileTypeEditor"));
    editor->setFrame(false);
    editor->setAlignment(Qt::AlignCenter);
    editor->setFont(chipFont());
    editor->setStyleSheet(QStringLiteral("QLineEdit { background: white; border-radius: 3px; }"));
    editor->setText(texts_[size_t(index)]);
    editor->selectAll();
    // Confirming the field is the same as ending the edit.
    connect(editor, &QLineEdit::returnPressed, this, &TWFileTypeView::endEditing);
    editor_ = editor;
    relayout();
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
}

void TWFileTypeView::endEditing() {
    if (editing_ < 0 || ending_) return;
    ending_ = true;
    int index = editing_;
    std::string text = editor_ ? editor_->text().trimmed().toStdString() : std::string();
    editing_ = -1;
    if (editor_) {
        editor_->hide();
        editor_->deleteLater();
        editor_ = nullptr;
    }
    if (dataSource_) dataSource_->fileTypeChanged(*this, index, text);
    reloadData();
    ending_ = false;
}

void TWFileTypeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    int index = chipAt(event->position());
    if (index == editing_ && index >= 0) return;  // a click inside the field's chip
    // The chip clicked is the one the user saw; an edit that empties its chip removes
    // it, which moves the chips after it one place down.
    int edited = editing_;
    size_t before = count();
    endEditing();
    if (index >= 0 && edited >= 0 && count() < before) {
        if (index == edited)
            index = -1;
        else if (index > edited)
            --index;
    }
    setSelectedIndex(index);
}

void TWFileTypeView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    int index = chipAt(event->position());
    if (index < 0) return;
    setSelectedIndex(index);
    startEditing(index);
}

// --- drawing ---

void TWFileTypeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(chipFont());
    for (size_t i = 0; i < cells_.size(); ++i) {
        bool selected = int(i) == selected_;
        QRectF chip = cells_[i].adjusted(kInsetX, kInsetY, -kInsetX, -kInsetY);
        painter.setPen(QPen(selected ? TWAppStyle::accent() : TWAppStyle::border(), 1));
        painter.setBrush(selected ? TWAppStyle::adapt(QColor(0xE8, 0xF1, 0xFC))
                                  : TWAppStyle::adapt(QColor(0xF3, 0xF4, 0xF6)));
        double radius = chip.height() / 2;
        painter.drawRoundedRect(chip.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
        if (int(i) == editing_) continue;
        painter.setPen(selected ? TWAppStyle::accent() : TWAppStyle::grey(0.4));
        painter.drawText(textRect(i), Qt::AlignCenter, texts_[i]);
    }
}
