#include "app/TWToolBar.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"

namespace {

constexpr int kButtonHeight = 24;
constexpr int kBackWidth = 28;
constexpr int kSideMargin = 10;

}  // namespace

// --- TWToolBarButton ---

TWToolBarButton::TWToolBarButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    // Reached by Tab (Space presses it), never taken by a click.
    setFocusPolicy(Qt::TabFocus);
    setFont(TWAppStyle::systemFont(10));
    textColor_ = TWAppStyle::grey(0.4);
}

void TWToolBarButton::setImage(const QString& image) {
    if (image_ == image) return;
    image_ = image;
    update();
}

void TWToolBarButton::setTextColor(const QColor& color) {
    if (textColor_ == color) return;
    textColor_ = color;
    update();
}

QSize TWToolBarButton::sizeHint() const {
    if (text().isEmpty()) return QSize(kBackWidth, kButtonHeight);
    return QSize(fontMetrics().horizontalAdvance(text()) + 22, kButtonHeight);
}

void TWToolBarButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!image_.isEmpty()) TWArtwork::draw(painter, image_, QRectF(rect()));
    if (!text().isEmpty()) {
        QColor color = textColor_;
        if (underMouse() && image_.isEmpty()) color = TWAppStyle::grey(0.2);
        painter.setPen(color);
        painter.setFont(font());
        if (textInset_ > 0)
            painter.drawText(rect().adjusted(textInset_, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
        else
            painter.drawText(rect(), Qt::AlignCenter, text());
    }
}

// --- TWToolBar ---

TWToolBar* TWToolBar::shareToolBar() {
    return TWSharedInstance<TWToolBar>::get();
}

void TWToolBar::resetShared() {
    TWSharedInstance<TWToolBar>::reset();
}

TWToolBar::TWToolBar() {
    setObjectName(QStringLiteral("TWToolBar"));
    setFixedHeight(kHeight);

    backBtn_ = new TWToolBarButton(this);
    backBtn_->setObjectName(QStringLiteral("backBtn"));
    backBtn_->setImage(QStringLiteral("btn_back"));
    backBtn_->setToolTip(tr("Back to the scan"));
    backBtn_->setFixedSize(kBackWidth, kButtonHeight);
    connect(backBtn_, &QAbstractButton::clicked, this, &TWToolBar::backButtonClicked);

    layoutView_ = new QWidget(this);
    layoutView_->setObjectName(QStringLiteral("layoutView"));
    auto* layout = new QHBoxLayout(layoutView_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    overviewBtn_ = new TWToolBarButton(layoutView_);
    overviewBtn_->setObjectName(QStringLiteral("overviewBtn"));
    overviewBtn_->setToolTip(tr("Overview"));
    overviewBtn_->setFixedSize(kBackWidth, kButtonHeight);
    connect(overviewBtn_, &QAbstractButton::clicked, this, &TWToolBar::overViewer);
    layout->addWidget(overviewBtn_);
    layout->addSpacing(12);

    // The category strip sits in a rounded frame drawn by paintEvent behind it.
    static const char* names[] = {"allFilesBtn", "documentsBtn",  "imagesBtn",       "musicsBtn",
                                  "videosBtn",   "compressesBtn", "applicationsBtn", "othersBtn"};
    const std::vector<std::string> titles = TWCategoryManager::categoryNames();
    for (int category = 0; category < 8; ++category) {
        auto* button = new TWToolBarButton(layoutView_);
        button->setObjectName(QString::fromLatin1(names[category]));
        button->setTag(category);
        button->setText(category < int(titles.size()) ? QString::fromStdString(titles[size_t(category)]) : QString());
        button->setFixedSize(button->sizeHint());
        connect(button, &QAbstractButton::clicked, this, [this, button] { categoryChanged(button); });
        layout->addWidget(button);
        categoryButtons_.push_back(button);
    }
    // "Packages" says nothing on Linux by itself.
    categoryButtons_[TWCategory_packages]->setToolTip(
        tr("Application bundles: folders such as .app, .bundle, .framework, .kext and .plugin, each compared as "
           "one item"));
    layoutView_->adjustSize();
    categorySelected_ = TWCategory_allFiles;
    overviewSelected_ = false;
    updateState();
}

QString TWToolBar::overViewButtonImage() const {
    return overviewSelected_ ? QStringLiteral("btn_overiewer_selected") : QStringLiteral("btn_overviewer_normal");
}

void TWToolBar::updateState() {
    overviewBtn_->setImage(overViewButtonImage());
    const size_t last = categoryButtons_.size() - 1;
    for (size_t i = 0; i < categoryButtons_.size(); ++i) {
        TWToolBarButton* button = categoryButtons_[i];
        const bool selected = !overviewSelected_ && button->tag() == int(categorySelected_);
        if (!selected) {
            button->setTextColor(TWAppStyle::grey(0.4));
            button->setImage(QString());
            continue;
        }
        button->setTextColor(Qt::white);
        if (i == 0)
            button->setImage(QStringLiteral("toolBar_left_corner_select"));
        else if (i == last)
            button->setImage(QStringLiteral("toolBar_right_corner_select"));
        else
            button->setImage(QStringLiteral("toolBar_selected"));
    }
    update();
}

void TWToolBar::categoryChanged(TWToolBarButton* sender) {
    overviewSelected_ = false;
    categorySelected_ = TWCategory(sender->tag());
    updateState();
    if (delegate_) delegate_->TWToolBarCategoryChanged(*this);
}

void TWToolBar::overViewer() {
    overviewSelected_ = true;
    updateState();
    if (delegate_) delegate_->TWToolBarCategoryChanged(*this);
}

void TWToolBar::backButtonClicked() {
    if (delegate_) delegate_->TWToolBarBackAction(*this);
}

void TWToolBar::resizeEvent(QResizeEvent*) {
    backBtn_->move(kSideMargin, (height() - kButtonHeight) / 2);
    centreLayoutView();
}

void TWToolBar::centreLayoutView() {
    // Centred in the space right of the Back button.
    const int left = backBtn_->geometry().right() + 1;
    const QSize size = layoutView_->sizeHint();
    const int x = left + std::max(0, (width() - left - size.width()) / 2);
    layoutView_->setGeometry(x, (height() - size.height()) / 2, size.width(), size.height());
}

void TWToolBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), TWAppStyle::adapt(QColor(0xF4, 0xF5, 0xF7)));
    if (categoryButtons_.empty()) return;
    // The frame of the category strip.
    QRect first = categoryButtons_.front()->geometry().translated(layoutView_->pos());
    QRect last = categoryButtons_.back()->geometry().translated(layoutView_->pos());
    QRectF strip = QRectF(first.topLeft(), last.bottomRight() + QPoint(1, 1)).adjusted(-0.5, -0.5, 0.5, 0.5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(TWAppStyle::border(), 1));
    painter.setBrush(TWAppStyle::adapt(Qt::white));
    painter.drawRoundedRect(strip, 5, 5);
    painter.setPen(QPen(TWAppStyle::adapt(QColor(0xE4, 0xE7, 0xEB)), 1));
    for (size_t i = 1; i < categoryButtons_.size(); ++i) {
        QRect r = categoryButtons_[i]->geometry().translated(layoutView_->pos());
        painter.drawLine(QPointF(r.left() + 0.5, r.top() + 5), QPointF(r.left() + 0.5, r.bottom() - 4));
    }
}
