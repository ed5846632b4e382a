#pragma once
// Runs the compare view for the browser. Main thread only.

#include <QObject>
#include <QPointer>

#include "app/TWCompareView.h"
#include "app/TWSharedInstance.h"

class TWCompareViewController : public QObject {
    Q_OBJECT
public:
    static TWCompareViewController* shared();
    static void resetShared();

    TWCompareView* view() const { return view_; }
    void reloadData();

private:
    friend class TWSharedInstance<TWCompareViewController>;
    TWCompareViewController();
    ~TWCompareViewController() override;
    QPointer<TWCompareView> view_;
};
