#pragma once
// The main window: frameless, with the app's header bar on top and the content views
// below it, one shown at a time. Moving goes through the header bar; resizing, while
// the window is resizable, through its edges, both handed to the window manager
// (QWindow::startSystemMove / startSystemResize). Main thread only.

#include <QPointer>
#include <QRect>
#include <QWidget>

class QPropertyAnimation;
class QStackedLayout;
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

    // Resizable windows offer their edges for resizing and the full-screen button;
    // others keep their size.
    bool isResizable() const { return resizable_; }
    void setResizable(bool resizable);
    // Moves and resizes the window to `frame`, animated when it is visible. The window
    // ends at exactly `frame`, also when another change interrupts the animation.
    void animateToFrame(const QRect& frame);
    bool isAnimating() const;

    void toggleFullScreen();

signals:
    void fullScreenEntered();
    void fullScreenExited();
    // The window was closed (the application then ends).
    void closed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::Edges edgesAt(const QPoint& windowPosition) const;
    void applySizeRule();

    TWTitlebarViewCtrl* titleBar_ = nullptr;
    QWidget* content_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QPointer<QPropertyAnimation> animation_;
    bool resizable_ = false;
    bool wasFullScreen_ = false;
    bool edgeCursor_ = false;
};
