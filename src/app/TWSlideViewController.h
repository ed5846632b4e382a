#pragma once
// The slide view: a preview of the selected file above the file list, in a split view
// whose parts keep at least 180 points each unless collapsed. It is the file list's
// delegate and hands the selected file to the preview. Main thread only.

#include <QObject>
#include <QPointer>
#include <QSplitter>

#include "app/TWFilesListViewController.h"
#include "app/TWSharedInstance.h"

class TWSlideViewController : public QObject, public TWFilesListViewCtrDelegate {
    Q_OBJECT
public:
    static constexpr int kMinimumPartHeight = 180;

    static TWSlideViewController* shared();
    static void resetShared();

    QSplitter* view() const { return view_; }
    QWidget* quickLookView() const;
    QWidget* listView() const { return listView_; }
    // Reloads the file list and previews its selected file.
    void reloadData();

    void TWFilesListViewSelectionDidChanged(TWFilesListViewController& ctrl) override;

private:
    friend class TWSharedInstance<TWSlideViewController>;
    TWSlideViewController();
    ~TWSlideViewController() override;
    void previewSelectedFile();

    QPointer<QSplitter> view_;
    QWidget* listView_ = nullptr;
};
