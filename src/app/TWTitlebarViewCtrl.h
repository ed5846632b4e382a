#pragma once
// The header bar the app draws in place of the system's title bar: the window's title
// in the middle, the Settings and menu buttons and the window buttons (minimise,
// full screen, close) on the right. Dragging its empty space moves the window.
// Main thread only.

#include <QPoint>
#include <QPointer>
#include <QWidget>

class QLabel;
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
    void setTitle(const QString& title);
    QString title() const;
    // The menu the menu button opens; not owned.
    void setMenu(QMenu* menu);
    // Whether the full-screen button is offered (the window may change size).
    void setFullScreenAvailable(bool available);
    // The full-screen button's face follows the window's state.
    void setFullScreen(bool fullScreen);

    QToolButton* settingsButton() const { return settingsButton_; }
    QToolButton* menuButton() const { return menuButton_; }
    QToolButton* minimizeButton() const { return minimizeButton_; }
    QToolButton* fullScreenButton() const { return fullScreenButton_; }
    QToolButton* closeButton() const { return closeButton_; }

signals:
    void settingsClicked();
    void minimizeClicked();
    void fullScreenClicked();
    void closeClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QToolButton* makeButton(const QString& picture, const QString& tip, const QString& objectName);

    QLabel* titleLabel_ = nullptr;
    QToolButton* settingsButton_ = nullptr;
    QToolButton* menuButton_ = nullptr;
    QToolButton* minimizeButton_ = nullptr;
    QToolButton* fullScreenButton_ = nullptr;
    QToolButton* closeButton_ = nullptr;
    // Where a manual move started, when the platform cannot move the window itself.
    bool manualMove_ = false;
    QPoint moveOffset_;
};
