#pragma once
// The results browser: the view the main window shows after a scan that found
// duplicates. It reads and changes the results manager and the flattened file list;
// it holds no result data of its own. Main thread only.
//
// This is the shell's stand-in until the browser itself is built: a Back button and a
// summary of the result, enough to switch views and come back.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

class TWBrowserResoultViewCtrl : public QObject {
    Q_OBJECT
public:
    // The one browser, made on first use (a QApplication must exist).
    static TWBrowserResoultViewCtrl* shared();
    // Deletes the browser and its view (the app delegate at its end; tests).
    static void resetShared();

    QWidget* view() const { return view_; }
    // Rereads the results manager (after each finished scan, before the view shows).
    void reloadData();
    // Selects every displayed group, or none when all are selected already.
    void selectAll();

    QPushButton* backButton() const { return backButton_; }

private:
    TWBrowserResoultViewCtrl();
    ~TWBrowserResoultViewCtrl() override;

    QPointer<QWidget> view_;
    QLabel* summary_ = nullptr;
    QPushButton* backButton_ = nullptr;
};
