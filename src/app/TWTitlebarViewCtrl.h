#pragma once
// The header bar at the top of the main window, below the window manager's title: the
// Settings, menu and full-screen buttons on the right. A double click on its empty
// space maximises the window, as on a title bar. Main thread only.

#include <QPointer>
#include <QWidget>

class QMenu;
class QToolButton;

class TWTitlebarViewCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 40;

    explicit TWTitlebarViewCtrl(QWidget* parent = nullptr);
    ~TWTitlebarViewCtrl() override;
    // The header bar of the live main window, or null.
    static TWTitlebarViewCtrl* titleBarViewCtrl();

    // Shows or hides the Settings button.
    void setCanSettings(bool can);
    bool canSettings() const;
    // The menu the menu button opens; not owned.
    void setMenu(QMenu* menu);
    // Whether the full-screen button is offered (the window may change size).
    void setFullScreenAvailable(bool available);
    // The full-screen button's face follows the window's state.
    void setFullScreen(bool fullScreen);

    QToolButton* settingsButton() const { return settingsButton_; }
    QToolButton* menuButton() const { return menuButton_; }
    QToolButton* fullScreenButton() const { return fullScreenButton_; }

signals:
    void settingsClicked();
    void fullScreenClicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QToolButton* makeButton(const QString& picture, const QString& tip, const QString& objectName);

    QToolButton* settingsButton_ = nullptr;
    QToolButton* menuButton_ = nullptr;
    QToolButton* fullScreenButton_ = nullptr;
};
