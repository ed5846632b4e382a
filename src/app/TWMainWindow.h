#pragma once
// The main window: decorated by the window manager, like every other window of the app
// (title, moving, resizing, maximising are its), with the app's header bar on top of
// the content views, one shown at a time. F11 toggles full screen while the window may
// change size; Escape leaves it. A notice line can hang over the content for a while.
// Main thread only.

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <optional>

class QLabel;
class QPropertyAnimation;
class QStackedLayout;
class QTimer;
class TWTitlebarViewCtrl;

class TWMainWindow : public QWidget {
    Q_OBJECT
public:
    explicit TWMainWindow(QWidget* parent = nullptr);
    ~TWMainWindow() override;

    TWTitlebarViewCtrl* titleBar() const { return titleBar_; }
    // Adds a view to the content area (hidden unless it is the first).
    void addContentView(QWidget* view);
    void showContentView(QWidget* view);
    QWidget* currentContentView() const;

    // Resizable windows may be resized, maximised and made full screen; others keep
    // their size (the window manager then offers no maximise).
    bool isResizable() const { return resizable_; }
    void setResizable(bool resizable);
    // Moves and resizes the window to `frame`, animated when it is visible. The window
    // ends at exactly `frame`, also when another change interrupts the animation.
    void animateToFrame(const QRect& frame);
    bool isAnimating() const;

    void toggleFullScreen();
    void toggleMaximized();

    // Shows `text` over the top of the content until `milliseconds` pass or the
    // next notice replaces it.
    void showNotice(const QString& text, int milliseconds = 8000);
    QString noticeText() const;

    // The smallest size of the resizable window, capped to the screen it is on.
    static constexpr QSize kMinimumResizableSize{760, 560};

signals:
    void fullScreenEntered();
    void fullScreenExited();
    // The window was closed (the application then ends).
    void closed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applySizeRule();
    void placeNotice();

    TWTitlebarViewCtrl* titleBar_ = nullptr;
    QWidget* content_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QLabel* notice_ = nullptr;
    QTimer* noticeTimer_ = nullptr;
    QPointer<QPropertyAnimation> animation_;
    std::optional<QRect> pendingFrame_;  // to take once the window is no longer maximised
    bool resizable_ = false;
    bool wasFullScreen_ = false;
};
