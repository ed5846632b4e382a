#pragma once
// The look shared by the three pages of the preferences window: section titles,
// explanations, the small add and remove buttons under lists, and a framed panel.
// Main thread only.

#include <QString>

class QFrame;
class QLabel;
class QToolButton;
class QWidget;

class TWPreferencePage {
public:
    static constexpr int kMargin = 24;       // around a page
    static constexpr int kLabelWidth = 150;  // the right-aligned labels of the General page

    static QLabel* sectionTitle(const QString& text, QWidget* parent);
    // A grey explanation that wraps.
    static QLabel* hint(const QString& text, QWidget* parent);
    // A right-aligned row label ("Find duplicates by:").
    static QLabel* rowLabel(const QString& text, QWidget* parent);
    // The "+" or "-" button under a list; `add` picks which.
    static QToolButton* listButton(bool add, const QString& tip, QWidget* parent);
    // Lets a page's list take the height left over, asking for no more than
    // `minimumHeight`: at a list's own preferred height the page asked for more than
    // its window has, and its bottom row was cut.
    static void fillLeftoverHeight(QWidget* list, int minimumHeight);
    // A white panel with a thin border and rounded corners, for lists.
    static QFrame* panel(QWidget* parent);
    // The style sheet of the tables of the pages.
    static QString tableStyle();
};
