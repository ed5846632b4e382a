#include "TWPreferencesWndTitleBarViewCtrl.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

#include "NotificationCenter.h"
#include "TWAppStyle.h"
#include "TWArtwork.h"

namespace {
constexpr int kWindowButtonSide = 28;
constexpr int kPageButtonMinWidth = 104;
constexpr int kPageButtonHeight = 34;

const char* const kPictures[] = {"general", "ignore", "smart"};

QToolButton* windowButton(QWidget* parent, const QString& picture, const QString& tip, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(TWArtwork::icon(picture));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(kWindowButtonSide, kWindowButtonSide);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(
        QStringLiteral("QToolButton { border: none; border-radius: 14px; background: transparent; }"
                       "QToolButton:hover { background: rgba(0, 0, 0, 0.07); }"
                       "QToolButton:pressed { background: rgba(0, 0, 0, 0.13); }"));
    return button;
}
}  // namespace

TWPreferencesWndTitleBarViewCtrl::TWPreferencesWndTitleBarViewCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TWPreferencesWndTitleBarViewCtrl"));
    setFixedHeight(kHeight);

    const QString titles[] = {tr("General"), tr("Ignore"), tr("Smart Selection")};
    auto* pages = new QHBoxLayout();
    pages->setSpacing(6);
    for (int i = 0; i < kPageCount; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(kPictures[i]));
        button->setText(titles[i]);
        button->setAccessibleName(titles[i]);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(20, 20));
        button->setFixedHeight(kPageButtonHeight);
        button->setMinimumWidth(kPageButtonMinWidth);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFont(TWAppStyle::systemFont(10, true));
        button->setStyleSheet(
            QStringLiteral("QToolButton { border: none; border-radius: 8px; color: #5E6673; padding: 0 8px; }"
                           "QToolButton:hover { background: rgba(0, 0, 0, 0.05); }"
                           "QToolButton[selected=\"true\"] { background: rgba(58, 134, 222, 0.13); color: #2D6FBD; }"));
        // Pressing, not releasing, switches the page, as a segmented control does.
        connect(button, &QToolButton::pressed, this, [this, i] { pageButtonPressed(i); });
        pageButtons_[size_t(i)] = button;
        pages->addWidget(button);
    }

    minimizeButton_ =
        windowButton(this, QStringLiteral("titlebar_minimize"), tr("Minimize"), QStringLiteral("minimize"));
    closeButton_ = windowButton(this, QStringLiteral("titlebar_close"), tr("Close"), QStringLiteral("close"));
    connect(minimizeButton_, &QToolButton::clicked, this, &TWPreferencesWndTitleBarViewCtrl::minimizeClicked);
    connect(closeButton_, &QToolButton::clicked, this, &TWPreferencesWndTitleBarViewCtrl::closeClicked);

    // Clusters of equal width on both sides keep the page buttons centred.
    const int clusterWidth = 2 * kWindowButtonSide + 4;
    auto* left = new QWidget(this);
    left->setFixedWidth(clusterWidth);
    left->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* right = new QWidget(this);
    right->setFixedWidth(clusterWidth);
    auto* rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(4);
    rightLayout->addWidget(minimizeButton_, 0, Qt::AlignVCenter);
    rightLayout->addWidget(closeButton_, 0, Qt::AlignVCenter);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(11, 0, 11, 0);
    layout->setSpacing(0);
    layout->addWidget(left);
    layout->addStretch(1);
    layout->addLayout(pages);
    layout->addStretch(1);
    layout->addWidget(right, 0, Qt::AlignVCenter);
    refreshButtons();
}

QString TWPreferencesWndTitleBarViewCtrl::pictureFor(int index, bool selected) {
    if (index < 0 || index >= kPageCount) return QString();
    QString name = QString::fromLatin1(kPictures[index]);
    return selected ? name + QStringLiteral("_selected") : name;
}

void TWPreferencesWndTitleBarViewCtrl::setButtonSelected(int index) {
    if (index < 0 || index >= kPageCount) return;
    buttonSelected_ = index;
    refreshButtons();
}

void TWPreferencesWndTitleBarViewCtrl::refreshButtons() {
    for (int i = 0; i < kPageCount; ++i) {
        QToolButton* button = pageButtons_[size_t(i)];
        bool selected = i == buttonSelected_;
        button->setProperty("selected", selected);
        button->style()->unpolish(button);
        button->style()->polish(button);
        button->setIcon(TWArtwork::icon(pictureFor(i, selected)));
    }
}

void TWPreferencesWndTitleBarViewCtrl::pageButtonPressed(int index) {
    if (index == buttonSelected_) return;
    setButtonSelected(index);
    tw::NotificationCenter::defaultCenter().post(TWButtonSelectedDidChanged);
}

void TWPreferencesWndTitleBarViewCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TWAppStyle::paintHeaderBar(painter, rect());
}

void TWPreferencesWndTitleBarViewCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    QWidget* top = window();
    if (QWindow* handle = top->windowHandle(); handle && handle->startSystemMove()) return;
    // No window manager support: move the window ourselves.
    manualMove_ = true;
    moveOffset_ = event->globalPosition().toPoint() - top->frameGeometry().topLeft();
}

void TWPreferencesWndTitleBarViewCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (manualMove_ && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - moveOffset_);
}

void TWPreferencesWndTitleBarViewCtrl::mouseReleaseEvent(QMouseEvent*) {
    manualMove_ = false;
}
