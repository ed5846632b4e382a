#pragma once
// Runs the icon view: reloads it for the browser and passes the icon-size slider on.
// Main thread only.

#include <QObject>
#include <QPointer>

#include "app/TWIconView.h"
#include "app/TWSharedInstance.h"

class TWIconViewController : public QObject {
    Q_OBJECT
public:
    static TWIconViewController* shared();
    static void resetShared();

    TWIconView* view() const { return view_; }
    void reloadData();
    double scalePercent() const;
    void setScalePercent(double percent);

private:
    friend class TWSharedInstance<TWIconViewController>;
    TWIconViewController();
    ~TWIconViewController() override;
    QPointer<TWIconView> view_;
};
