#include "app/TWPreferencePage.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>

#include "app/TWAppStyle.h"

QLabel* TWPreferencePage::sectionTitle(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(TWAppStyle::systemFont(10, true));
    return label;
}

QLabel* TWPreferencePage::hint(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = TWAppStyle::systemFont(9);
    label->setFont(font);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, TWAppStyle::secondaryText());
    label->setPalette(palette);
    return label;
}

QLabel* TWPreferencePage::rowLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->setFixedWidth(kLabelWidth);
    // Level with the first line of the control beside it.
    label->setContentsMargins(0, 2, 0, 0);
    return label;
}

QToolButton* TWPreferencePage::listButton(bool add, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(add ? QStringLiteral("add") : QStringLiteral("remove"));
    button->setText(add ? QStringLiteral("+") : QStringLiteral("\u2212"));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFixedSize(26, 22);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(
        QStringLiteral("QToolButton { border: 1px solid #D3D6DC; background: #FFFFFF; color: #3B424C;"
                       " font-size: 15px; font-weight: 600; border-radius: 4px; }"
                       "QToolButton:hover { background: #F2F4F7; }"
                       "QToolButton:pressed { background: #E4E7EC; }"
                       "QToolButton:disabled { color: #B9BEC6; background: #FAFAFB; }"));
    return button;
}

void TWPreferencePage::fillLeftoverHeight(QWidget* list, int minimumHeight) {
    list->setMinimumHeight(minimumHeight);
    list->setSizePolicy(list->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
}

QFrame* TWPreferencePage::panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("panel"));
    frame->setStyleSheet(
        QStringLiteral("QFrame#panel { background: #FFFFFF; border: 1px solid #D3D6DC; border-radius: 6px; }"));
    return frame;
}

QString TWPreferencePage::tableStyle() {
    return QStringLiteral(
        "QTableView { background: #FFFFFF; border: 1px solid #D3D6DC; border-radius: 6px;"
        " alternate-background-color: #F7F8FA; selection-background-color: #DCEAFB;"
        " selection-color: #1F2A37; gridline-color: transparent; }"
        "QHeaderView::section { background: #F4F5F7; color: #5E6673; border: none;"
        " border-bottom: 1px solid #E1E4E8; padding: 3px 8px; font-weight: 600; }");
}
