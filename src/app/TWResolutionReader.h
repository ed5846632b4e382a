#pragma once
// The resolution of pictures for the result views, read from the picture's header on a
// worker thread the first time a view asks, so that no view waits on a file and no rule
// has to have run first. A picture whose size is not known yet answers "…" and
// `resolutionReady` follows once it is read; one that cannot be read answers "N/A".
//
// Main thread only (the worker hands its results back through the event loop).

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <map>
#include <memory>

#include "app/TWSharedInstance.h"

class TWFileUtility;

class TWResolutionReader : public QObject {
    Q_OBJECT
public:
    static TWResolutionReader* shared();
    // Waits for the worker and forgets every request (tests, the end of the browser).
    static void resetShared();

    // "4000x3000", "…" while the header is being read (a read is queued on the first
    // ask), or "N/A" for a file that is not a picture or whose size cannot be read.
    QString resolutionText(const std::shared_ptr<TWFileUtility>& file);
    // Reads queued or running.
    int pendingCount() const { return pending_; }

signals:
    void resolutionReady(const QString& path);

private:
    friend class TWSharedInstance<TWResolutionReader>;
    TWResolutionReader();
    ~TWResolutionReader() override;

    QThreadPool pool_;
    // Records asked about, by identity (the weak pointer tells a reused address apart).
    struct Asked {
        std::weak_ptr<TWFileUtility> file;
        bool done = false;
    };
    std::map<const TWFileUtility*, Asked> asked_;
    int pending_ = 0;
};
