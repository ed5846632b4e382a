#pragma once
// The removal's progress window: a title line, a bar and Cancel, shown window-modal
// over the main window while a removal runs (the window behind keeps painting).
// Cancel sets isCancelled and asks the run to stop; the run ends after the file it is
// working on. Main thread only.

#include <QDialog>
#include <QString>
#include <functional>

#include "app/TWSharedInstance.h"

class QLabel;
class QProgressBar;
class QPushButton;

class TWProgressWndCtrl : public QDialog {
    Q_OBJECT
public:
    static TWProgressWndCtrl* progressWndCtrl();
    static void resetShared();

    double percent() const { return percent_; }
    void setPercent(double percent);
    bool isCancelled() const { return isCancelled_; }
    void setIsCancelled(bool cancelled) { isCancelled_ = cancelled; }
    QString title() const { return title_; }
    void setTitle(const QString& title);

    // Called by Cancel after isCancelled is set (the browser stops its run there).
    void setCancelHandler(std::function<void()> handler) { cancelHandler_ = std::move(handler); }
    void cancelClick();

    // Shows the window over `parent` (window-modal), and hides it again.
    void beginSheet(QWidget* parent);
    void endSheet();

    QPushButton* cancelButton() const { return cancelButton_; }
    QProgressBar* progressBar() const { return bar_; }

protected:
    void reject() override;  // Escape cancels like the button; the window stays up

private:
    friend class TWSharedInstance<TWProgressWndCtrl>;
    TWProgressWndCtrl();

    QLabel* titleLabel_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    double percent_ = 0;
    bool isCancelled_ = false;
    QString title_;
    std::function<void()> cancelHandler_;
};
