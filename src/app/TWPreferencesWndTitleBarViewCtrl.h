#pragma once
// The preferences window's own title bar, 50 points high and without a title: the
// three page buttons (General, Ignore, Smart selection) in the middle and the window
// buttons, centred vertically, on the right. Pressing a page button other than the
// current one sets buttonSelected and posts "TWButtonSelectedDidChanged" (no object)
// on the default notification centre; the window then shows that page. Dragging the
// bar's empty space moves the window. Main thread only.

#include <QPoint>
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
    QToolButton* closeButton() const { return closeButton_; }
    QToolButton* minimizeButton() const { return minimizeButton_; }

    // The picture of a page button ("general" or "general_selected", ...).
    static QString pictureFor(int index, bool selected);

signals:
    void closeClicked();
    void minimizeClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void pageButtonPressed(int index);
    void refreshButtons();

    int buttonSelected_ = 0;
    std::array<QToolButton*, kPageCount> pageButtons_{};
    QToolButton* closeButton_ = nullptr;
    QToolButton* minimizeButton_ = nullptr;
    bool manualMove_ = false;
    QPoint moveOffset_;
};
