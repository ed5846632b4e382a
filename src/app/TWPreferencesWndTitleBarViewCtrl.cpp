#include "TWPreferencesWndTitleBarViewCtrl.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include "NotificationCenter.h"
#include "TWAppStyle.h"
#include "TWArtwork.h"

namespace {
constexpr int kPageButtonMinWidth = 104;
constexpr int kPageButtonHeight = 34;

const char* const kPictures[] = {"general", "ignore", "smart"};

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
                           "QToolButton:hover { background: rgba(127, 127, 127, 0.15); }"
                           "QToolButton[selected=\"true\"] { background: rgba(58, 134, 222, 0.13); color: #2D6FBD; }"));
        // Pressing, not releasing, switches the page, as a segmented control does.
        connect(button, &QToolButton::pressed, this, [this, i] { pageButtonPressed(i); });
        pageButtons_[size_t(i)] = button;
        pages->addWidget(button);
    }

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(11, 0, 11, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    layout->addLayout(pages);
    layout->addStretch(1);
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
