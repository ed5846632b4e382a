#pragma once
// The results browser: the view the main window shows after a scan that found
// duplicates. A toolbar of categories, the group list and the detail area (icon, slide
// or compare view) side by side in a split view, or the overview in their place, and a
// bottom bar with the status line, Delete, the smart-check menu, the view-mode buttons
// and the icon-size slider. It holds no result data of its own: it reads and changes
// the results manager and the flattened file list, and refreshes its parts when their
// notifications arrive. It also runs removals (TWBrowserRemoval.cpp).
//
// Main thread only.

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TWOverViewerCtrl.h"
#include "app/TWRemovalSummary.h"
#include "app/TWSharedInstance.h"
#include "app/TWToolBar.h"
#include "platform/NotificationCenter.h"
#include "removal/TWRemovalProgress.h"
#include "removal/TWRemovalReview.h"
#include "removal/TWRemovalRun.h"

class QAbstractButton;
class TWBrowserKeyboard;
class QLabel;
class TWScanNoticeBar;
class TWStaleResultBar;
class QMenu;

class QPushButton;
class QSlider;
class QSplitter;
class QStackedLayout;
class QToolButton;
class QWidget;

class TWBrowserResoultViewCtrl : public QObject, public TWToolBarDelegate, public TWOverviewerCtrlDelegate {
    Q_OBJECT
public:
    enum ViewMode { kIconMode = 0, kSlideMode = 1, kCompareMode = 2 };
    // The smart-check menu's item that unchecks everything: past every rule's value.
    static constexpr int kUncheckAllTag = 9;
    // Whether a rule of the smart-check menu applies to similar-image groups only.
    static bool isImageRule(int tag);
    static constexpr int kMinimumSideWidth = 240;

    // The one browser, made on first use (a QApplication must exist).
    static TWBrowserResoultViewCtrl* shared();
    // Deletes the browser with the controllers of its parts (the app delegate at its
    // end; tests).
    static void resetShared();

    QWidget* view() const { return view_; }

    // --- refreshes ---
    // Rereads the results manager (after each finished scan, before the view shows).
    void reloadData();
    void updateStatusInfo();
    void updateBrowserResultToolbarState();
    void updateOverviewState();
    void updateDuplicateFilesState();
    void updateDetailFilesState();
    void updateViewModeBtnState();

    // --- actions ---
    int viewMode() const { return viewMode_; }
    void viewModeChanged(int tag);
    void scaleIconSize(int value);  // slider value 0..100
    void smartCheckedAction();
    // Applies the rule (or unchecks, kUncheckAllTag) to the groups the Smart Select menu
    // acts on: the selected ones, or every group shown.
    void menuSmartChecked(int tag);
    void applySmartRule(int tag, bool allGroups);
    bool smartSelectActsOnAllGroups() const;
    // Selects every displayed group, or none when all are selected already.
    void selectAll();
    void deleteInFinder();

    // --- removal (TWBrowserRemoval.cpp) ---
    // Delete: asks for a folder by the removal destination setting, compares the
    // checked files with those kept (in the background), asks for confirmation, and
    // starts a removal. Checked files that are only similar to the images kept go only
    // when the confirmation's check box says so; in name mode, checked files whose
    // content differs from their kept file go only on "Remove all".
    void deleteDuplicateFile();
    // Starts one removal of every checked file in the background and returns at once;
    // `folder` is the destination of a move to a folder; `onlyIdentical` (name mode)
    // lets a file go only while a kept file has its content.
    void removedCheckedFilesWithFolder(const std::optional<std::string>& folder, bool onlyIdentical = false);
    // While the checked files are compared before the confirmation, and while a run works.
    bool isRemoving() const;
    // The message of the last run that left files alone, or empty.
    QString lastRemovalReport() const { return lastRemovalReport_; }
    // The summary of the last removal while it shows, or null.
    TWRemovalSummary* removalSummary() const { return summary_; }
    // Puts back the files the last removal trashed (the summary's Undo), marks the
    // results out of date and tells the scan view.
    void undoLastRemoval();
    // Marks the results as those of a stopped scan (after reloadData).
    void markScanStopped();
    // The band that marks the results out of date (after an undo) or partial.
    TWStaleResultBar* staleResultBar() const { return staleBar_; }
    // Shows what the scan that found these results left out (the scan view's report
    // lines, after reloadData); no lines hide the band.
    void showScanReport(const QStringList& lines);
    TWScanNoticeBar* scanNoticeBar() const { return noticeBar_; }

    // --- toolbar and overview ---
    void TWToolBarCategoryChanged(TWToolBar& toolBar) override;
    void TWToolBarBackAction(TWToolBar& toolBar) override;
    void TWOverviewerCtrlSelectViewCatory(TWOverViewerCtrl& ctrl, int category) override;

    // --- notification handlers ---
    void duplicateFilesSelectionDidChanged();
    void duplicateSingleFileSelectionDidChanged() {}
    void checkSelectionDidChanged();
    void ignoredFilesNotification();

    // --- parts ---
    TWToolBar* toolBar() const;
    QAbstractButton* backButton() const;
    QSplitter* mainSplitView() const { return mainSplitView_; }
    bool isSplitViewOnScreen() const;
    bool isOverviewOnScreen() const;
    QWidget* duplicateFilesView() const { return duplicateFilesView_; }
    QWidget* detailFilesView() const { return detailFilesView_; }
    QPushButton* btnDelete() const { return btnDelete_; }
    QToolButton* btnSmartChecked() const { return btnSmartChecked_; }
    QMenu* smartCheckMenu() const { return smartCheckMenu_; }
    // The Smart Select menu's two choices of what its rules act on.
    QAction* smartScopeSelected() const { return smartScopeSelected_; }
    QAction* smartScopeAll() const { return smartScopeAll_; }
    // Tells whether a checked file can go to the Trash, for the confirmation's warning;
    // tw::Trash::canTrash unless a test sets another. Called off the main thread.
    using TrashCheck = std::function<bool(const std::string& path)>;
    void setTrashCheck(TrashCheck check) { trashCheck_ = std::move(check); }
    TWToolBarButton* btnIconViewMode() const { return modeButtons_[0]; }
    TWToolBarButton* btnSlideViewMode() const { return modeButtons_[1]; }
    TWToolBarButton* btnCompareViewMode() const { return modeButtons_[2]; }
    // The keyboard and the right-click menus.
    TWBrowserKeyboard* keyboard() const { return keyboard_; }
    QString imgSplitViewMode1() const { return splitImages_[0]; }
    QString imgSplitViewMode2() const { return splitImages_[1]; }
    QSlider* sldIconSize() const { return sldIconSize_; }
    QLabel* lblStatusInfo() const { return lblStatusInfo_; }
    QPushButton* btnDeleteInFinder() const { return btnDeleteInFinder_; }
    // The four runs of the status line.
    QStringList statusInfoRuns() const { return statusRuns_; }
    // Shows the smart-check items that apply to the groups the menu acts on, or to the
    // selected (or all shown) groups.
    void updateSmartCheckMenuItems();
    void updateSmartCheckMenuItemsFor(bool allGroups);
    void updateSmartCheckToolTip();

protected:
    // Fits the status line again when its label is resized.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A removal ended and the views were refreshed.
    void removalFinished();
    // The toolbar's back button: the application delegate shows the scan view.
    void backToScanRequested();
    // Files left the disk or came back, for the scan view's totals.
    void filesRemoved(quint64 count, quint64 bytes);
    void filesRestored(quint64 count, quint64 bytes);
    // "Scan Again" on the out-of-date results: scan the same folders again.
    void scanAgainRequested();
    // "Details" on the scan's report: list the paths the scan left out.
    void scanDetailsRequested();

private:
    friend class TWSharedInstance<TWBrowserResoultViewCtrl>;
    friend class TWBrowserRemovalProgress;
    TWBrowserResoultViewCtrl();
    ~TWBrowserResoultViewCtrl() override;
    void buildView();
    QWidget* buildBottomBar();
    // The status line in colour when it fits its label, else elided at the right as
    // plain text (the whole line stays in the tooltip).
    void fitStatusInfo();
    void subscribe();
    void showSplitView();
    void showOverview();
    QWidget* viewForMode(int mode) const;
    // Space and the file menu on the detail view of `mode`.
    void watchDetailView(int mode);

    // What the comparison before a removal found.
    struct RemovalReview {
        std::vector<TWRemovalReview::Differing> merelySimilar;
        std::vector<TWRemovalReview::Differing> differing;  // name mode only
        uint64_t untrashable = 0;                           // checked files the Trash cannot take (Trash only)
    };
    void reviewThenRemove(const std::optional<std::string>& folder);
    // The confirmation and, in name mode, the question about differing contents; leaves
    // alone what the answers keep. Answers onlyIdentical for the run, or nullopt when
    // nothing is to be removed.
    std::optional<bool> ask(const std::optional<std::string>& folder, const RemovalReview& review);
    // Unchecks the files, so that the run leaves them where they are.
    void leaveAlone(const std::vector<TWRemovalReview::Differing>& files);

    // Removal progress, from the run through the main queue.
    void removalDidStart();
    void removalIsWaiting();
    void removalDidProgress(double percent, const std::string& title);
    void removalDidFinish(const TWRemovalOutcome& outcome);
    // The texts of the files the run left in place (empty when none), and
    // lastRemovalReport_.
    void reportLeftFiles(const TWRemovalOutcome& outcome);
    void showRemovalSummary(const TWRemovalOutcome& outcome);
    void showRemovalReport(const QString& headline, const QString& informative, const QString& details);

    QPointer<QWidget> view_;
    QWidget* content_ = nullptr;
    QStackedLayout* contentStack_ = nullptr;
    QSplitter* mainSplitView_ = nullptr;
    QWidget* duplicateFilesView_ = nullptr;
    QWidget* detailFilesView_ = nullptr;
    QStackedLayout* detailStack_ = nullptr;
    QPushButton* btnDelete_ = nullptr;
    QToolButton* btnSmartChecked_ = nullptr;
    QMenu* smartCheckMenu_ = nullptr;
    QAction* smartScopeSelected_ = nullptr;
    QAction* smartScopeAll_ = nullptr;
    TrashCheck trashCheck_;
    TWToolBarButton* modeButtons_[3] = {};
    QLabel* splitLabels_[2] = {};
    QString splitImages_[2];
    QSlider* sldIconSize_ = nullptr;
    QLabel* lblStatusInfo_ = nullptr;
    QPushButton* btnDeleteInFinder_ = nullptr;
    QStringList statusRuns_;
    int viewMode_ = kIconMode;
    TWBrowserKeyboard* keyboard_ = nullptr;

    std::shared_ptr<TWRemovalRun> removal_;
    bool reviewing_ = false;  // the comparison and the questions before a run
    bool closing_ = false;    // the browser is going away: a run that starts now stops at once
    QString lastRemovalReport_;
    QPointer<QMessageBox> reportBox_;  // "Nothing was removed."
    QString leftHeadline_, leftInformative_, leftDetails_;
    QPointer<TWRemovalSummary> summary_;
    std::vector<TWTrashedFile> lastTrashed_;  // what the summary's Undo puts back
    TWStaleResultBar* staleBar_ = nullptr;
    TWScanNoticeBar* noticeBar_ = nullptr;

    tw::NotificationCenter::Observer selectionObserver_;
    tw::NotificationCenter::Observer singleSelectionObserver_;
    tw::NotificationCenter::Observer checkObserver_;
    tw::NotificationCenter::Observer ignoredObserver_;
};
