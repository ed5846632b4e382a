#pragma once
// The preferences window's header bar, 50 points high, below the window manager's
// title: the three page buttons (General, Ignore, Smart selection) in the middle.
// Pressing a page button other than the current one sets buttonSelected and posts
// "TWButtonSelectedDidChanged" (no object) on the default notification centre; the
// window then shows that page. Main thread only.

#include <QWidget>
#include <array>

class QToolButton;

inline constexpr const char* TWButtonSelectedDidChanged = "TWButtonSelectedDidChanged";

class TWPreferencesWndTitleBarViewCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 50;
    static constexpr int kPageCount = 3;

    explicit TWPreferencesWndTitleBarViewCtrl(QWidget* parent = nullptr);

    // The page shown: 0 General, 1 Ignore, 2 Smart selection; 0 at load.
    int buttonSelected() const { return buttonSelected_; }
    // Selects the button of `index` and shows its picture; posts nothing.
    void setButtonSelected(int index);
    QToolButton* pageButton(int index) const { return pageButtons_.at(size_t(index)); }

    // The picture of a page button ("general" or "general_selected", ...).
    static QString pictureFor(int index, bool selected);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void pageButtonPressed(int index);
    void refreshButtons();

    int buttonSelected_ = 0;
    std::array<QToolButton*, kPageCount> pageButtons_{};
};
