#pragma once
// The overview: how the duplicate size splits over the categories, as a ring chart
// with a legend beside it. It is the ring's data source and tells its delegate (the
// browser) when a slice was picked. Main thread only; reload() hops to it.

#include <QObject>
#include <QPointer>

#include "app/TWOverView.h"
#include "app/TWSharedInstance.h"

class QWidget;
class TWOverViewItemView;
class TWOverViewerCtrl;

class TWOverviewerCtrlDelegate {
public:
    virtual ~TWOverviewerCtrlDelegate() = default;
    virtual void TWOverviewerCtrlSelectViewCatory(TWOverViewerCtrl& ctrl, int category) {}
};

class TWOverViewerCtrl : public QObject, public TWOverViewDataSource {
    Q_OBJECT
public:
    static constexpr int kGap = 32;          // between the ring and the legend
    static constexpr int kLegendRaise = 16;  // the legend sits this far above the centre

    static TWOverViewerCtrl* shared();
    static void resetShared();

    QWidget* view() const { return view_; }
    TWOverView* overView() const { return overView_; }
    TWOverViewItemView* itemView() const { return itemView_; }
    TWOverviewerCtrlDelegate* delegate() const { return delegate_; }
    void setDelegate(TWOverviewerCtrlDelegate* delegate) { delegate_ = delegate; }

    void reload();
    void layoutViews();

    // --- TWOverViewDataSource ---
    uint64_t TWArcProportion(TWOverView& view, int category) override;
    QColor TWArcColor(TWOverView& view, int category) override;
    double sizeOfPartAtIndex(TWOverView& view, int category) override;
    QString getBlockInformation(TWOverView& view, int category) override;
    void overViewMouseUpEvent(TWOverView& view, int category) override;

private:
    friend class TWSharedInstance<TWOverViewerCtrl>;
    TWOverViewerCtrl();
    ~TWOverViewerCtrl() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<QWidget> view_;
    TWOverView* overView_ = nullptr;
    TWOverViewItemView* itemView_ = nullptr;
    TWOverviewerCtrlDelegate* delegate_ = nullptr;
};
