#pragma once
// The preferences window: edits the settings of the preference store, each change
// written at once. One window for the app, shown by the Preferences menu item and the
// header bar's Settings button. Main thread only.
//
// This is the shell's stand-in until the window itself is built.

#include <QObject>
#include <QPointer>
#include <QWidget>

class TWPreferenceCtrl : public QObject {
    Q_OBJECT
public:
    // The one preferences window controller, made on first use.
    static TWPreferenceCtrl* shared();
    static void resetShared();

    // Shows the window (raised and activated when it is open already).
    void showWindow();
    QWidget* window() const { return window_; }

private:
    TWPreferenceCtrl();
    ~TWPreferenceCtrl() override;

    QPointer<QWidget> window_;
};
