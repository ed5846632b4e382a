#pragma once
// Runs the core's main queue on the Qt event loop: every task posted to
// tw::MainQueue (the engine's counts and notifications among them) runs on the GUI
// thread between Qt's own events.

#include <QObject>

class TWQtMainQueue : public QObject {
    Q_OBJECT
public:
    // Makes the calling (GUI) thread the main queue's thread and installs the
    // dispatcher; the dispatcher is removed when the returned object is destroyed.
    // Call after the QApplication exists.
    explicit TWQtMainQueue(QObject* parent = nullptr);
    ~TWQtMainQueue() override;
};
