#pragma once
// The About window: the app's icon, name, version and legal notice, and a More Info
// button to the product's web page when the build names one. Window-modal over the
// main window. Main thread only.

#include <QDialog>

class TWAboutCtrl : public QDialog {
    Q_OBJECT
public:
    // The one About window, made on first use over `parent`.
    static TWAboutCtrl* shared(QWidget* parent);
    static void resetShared();

    void showWindow();

private:
    explicit TWAboutCtrl(QWidget* parent);
};
