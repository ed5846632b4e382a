#include "app/TWQtMainQueue.h"

#include <QCoreApplication>

#include "platform/MainQueue.h"

TWQtMainQueue::TWQtMainQueue(QObject* parent) : QObject(parent) {
    auto& queue = tw::MainQueue::shared();
    queue.adoptCurrentThread();
    // The queue wakes the dispatcher once until it has been drained, so at most one
    // Qt event is pending for it at a time. Qt events may be posted from any thread.
    queue.setDispatcher([] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { tw::MainQueue::shared().runPending(); }, Qt::QueuedConnection);
    });
}

TWQtMainQueue::~TWQtMainQueue() {
    tw::MainQueue::shared().setDispatcher({});
    // Whatever was queued still runs: the loop of the main queue takes over.
    tw::MainQueue::shared().runPending();
}
