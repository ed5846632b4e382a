#pragma once
// The scan view's controller: owns the chosen folders, the engine of the current scan,
// the scan status and the faces of the view's buttons; it is the drop area's data
// source and delegate, and tells the app delegate what happened. Main thread only.
//
// Status: 0 ready, 1 scanning, 2 finished. 0 -> 1 when the engine's start notification
// arrives, 1 -> 2 on its finished notification (also after a stop), 2 -> 0 on New Scan;
// a clear keeps 0.

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TWLoadFileDragView.h"
#include "app/TWLoadFilesCtrlDelegate.h"
#include "app/TWSharedInstance.h"
#include "engine/TWSearchDuplicateFiles.h"
#include "platform/NotificationCenter.h"

class QLabel;
class QMessageBox;
class QPushButton;
class QTimer;
class QToolButton;
class QWidget;
class TWScanAnimationView;

// Answers of the library question, by button.
enum TWAlertAnswer : int {
    TWAlertFirstButtonReturn = 1000,   // "Skip This Library"
    TWAlertSecondButtonReturn = 1001,  // "Open"
};

class TWLoadFilesCtrl : public QObject, public TWLoadFileDragViewDataSource, public TWLoadFileDragDelegate {
    Q_OBJECT
public:
    using EngineFactory = std::function<TWSearchDuplicateFiles::Ptr()>;

    // The one scan view controller, made (with its view) on first use.
    static TWLoadFilesCtrl* shareLoadFilesCtrl();
    // Deletes the controller and its view (the app delegate at its end; tests).
    static void resetShared();

    QWidget* view() const { return view_; }
    TWLoadFileDragView* loadfileview() const { return loadfileview_; }
    TWScanAnimationView* scanAnimationView() const { return scanAnimationView_; }
    QToolButton* btnImportFolders() const { return btnImportFolders_; }
    QToolButton* btnScan() const { return btnScan_; }

    int64_t loadFilesStatus() const { return loadFilesStatus_; }
    // The engine of the current scan: made at the first start, kept through status 2,
    // dropped by a clear and by New Scan.
    const TWSearchDuplicateFiles::Ptr& searchDuplicateFiles() const { return searchDuplicateFiles_; }
    // How engines are made (default: TWSearchDuplicateFiles::init()).
    void setEngineFactory(EngineFactory factory) { engineFactory_ = std::move(factory); }
    const std::vector<std::string>& saveFilesPathArray() const { return saveFilesPathArray_; }

    // Not retained.
    TWLoadFilesCtrlDelegate* delegate() const { return delegate_; }
    void setDelegate(TWLoadFilesCtrlDelegate* delegate) { delegate_ = delegate; }

    bool canAddFolder() const { return loadFilesStatus_ == 0; }
    bool canClearFolder() const { return loadFilesStatus_ == 0 && !saveFilesPathArray_.empty(); }
    bool canShowPreferences() const { return loadFilesStatus_ != 1; }

    // Whether the last scan was stopped by the user before it finished.
    bool scanWasStopped() const { return scanWasStopped_; }
    // Scans the same folders once more (the results' "Scan Again"); from status 2 or 0.
    void scanAgain();
    // Files of the result left the disk (a removal) or came back (its undo): the totals
    // shown follow.
    void filesRemoved(uint64_t count, uint64_t bytes);
    void filesRestored(uint64_t count, uint64_t bytes);

    // The scan button: start with folders in status 0, stop in status 1, show the
    // results again in status 2 when there are any.
    void startOrStopSearch();
    // The add button and the Open Folder item: New Scan when finished, else the
    // folder chooser (window-modal).
    void loadFilesFromOpenpanel();
    // Appends each path not yet in the list (exact text), in the given order.
    void addFolder(const std::vector<std::string>& paths);
    void clearFolders();
    void reloadData();
    void updateFaceWithStatus();

    // Observers of the engine's three notifications.
    void searchDuplicateStart();
    void searchDuplicateFileProcess();
    void searchDuplicateFileFinished(const std::any& object);

    // Asks whether to include a media library (application-modal warning); answers
    // TWAlertFirstButtonReturn ("Skip This Library") or TWAlertSecondButtonReturn ("Open").
    int alertApp(const std::string& appName, const std::string& library);
    // The same question for libraries read straight from their databases (Shotwell,
    // digiKam): nothing is opened, and the application must be closed for the clean-up.
    int alertReadLibrary(const std::string& appNames, const std::string& libraries);

    // The pictures the two buttons show now.
    QString scanButtonPicture() const { return scanButtonPicture_; }
    QString addButtonPicture() const { return addButtonPicture_; }
    // The line under the drop area (hints, the notice about a skipped library, and
    // after a scan its notices and how many paths could not be read).
    QString noticeText() const;
    // Lists the paths the last scan could not read and its notices (the notice line's
    // "Details" button, shown when there are any).
    QPushButton* btnScanDetails() const { return btnScanDetails_; }
    void showScanDetails();
    // The notices and the count of unread paths of the finished scan, one line each
    // (also the results' band); empty before the scan has finished.
    QStringList scanReportLines() const;
    // While whole files are read to compare them: how far ("Reading 1.2 GB of 32 GB"),
    // refreshed a few times a second; empty otherwise.
    QString readingText() const;

    // --- TWLoadFileDragViewDataSource ---
    int64_t TWLoadFileStatus(TWLoadFileDragView& view) override { return loadFilesStatus_; }
    int64_t TWLoadFileDragViewNumberOfFolder(TWLoadFileDragView& view) override;
    QIcon TWLoadFileDragViewIconAtIndex(TWLoadFileDragView& view, int64_t index) override;
    QString TWLoadFileDragViewLabelAtIndex(TWLoadFileDragView& view, int64_t index) override;
    int64_t TWLoadFileDragViewNumberOfDupcaliteFiles(TWLoadFileDragView& view) override;
    int64_t TWLoadFileDragViewNumberOfScanFiles(TWLoadFileDragView& view) override;
    uint64_t TWLoadFileDragViewNumberOfScanSize(TWLoadFileDragView& view) override;
    bool TWLoadFileDragViewScanWasStopped(TWLoadFileDragView& view) override { return scanWasStopped_; }
    QString TWLoadFileDragViewReadingText(TWLoadFileDragView& view) override { return readingText(); }

    // --- TWLoadFileDragDelegate ---
    void TWLoadFileDragViewDragFolders(TWLoadFileDragView& view, const std::vector<std::string>& paths) override;
    void TWLoadFileDragViewRemoveFolderAtIndex(TWLoadFileDragView& view, int64_t index) override;
    std::optional<bool> TWLoadFileDragViewCanRemove(TWLoadFileDragView& view) override { return true; }

signals:
    // After every face update (the app delegate revalidates its menu then).
    void faceChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TWSharedInstance<TWLoadFilesCtrl>;
    TWLoadFilesCtrl();
    ~TWLoadFilesCtrl() override;
    void buildView();
    void layoutView();
    void setButtonPicture(QToolButton* button, const QString& picture);
    void openFolderChooser();
    void newScan();
    void subscribeToEngine();
    // Asks about one library the folders contain; answers whether to scan it. Without
    // a library backend the question is not asked and the notice says why.
    // A service that names its libraries is asked about those it found: each that
    // cannot be read gets a notice, and the question names the ones it can read.
    bool askAboutLibrary(const std::string& appName, const std::string& location, const QString& kind,
                         const char* source);
    // The library question: "Skip This Library" and `accept` (the second button).
    int alertLibrary(const QString& text, const QString& informative, const QString& accept);
    void updateNotice();
    // Forgets the last scan's stop and removals (a new scan, New Scan, a clear).
    void resetScanState();
    uint64_t duplicatesFound() const;

    QPointer<QWidget> view_;
    TWLoadFileDragView* loadfileview_ = nullptr;
    TWScanAnimationView* scanAnimationView_ = nullptr;
    QToolButton* btnImportFolders_ = nullptr;
    QToolButton* btnScan_ = nullptr;
    QLabel* importCaption_ = nullptr;
    QLabel* scanCaption_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* btnScanDetails_ = nullptr;
    QTimer* readingTimer_ = nullptr;  // repaints the counters while scanning
    QPointer<QMessageBox> scanDetails_;
    QString scanButtonPicture_;
    QString addButtonPicture_;

    TWSearchDuplicateFiles::Ptr searchDuplicateFiles_;
    EngineFactory engineFactory_;
    tw::NotificationCenter::Observer startObserver_;
    tw::NotificationCenter::Observer progressObserver_;
    tw::NotificationCenter::Observer finishedObserver_;
    QStringList libraryNotices_;  // the libraries skipped by the current scan, and why
    int64_t loadFilesStatus_ = 0;
    bool stopRequested_ = false;   // Stop was pressed during the running scan
    bool scanWasStopped_ = false;  // the finished scan had been stopped
    uint64_t removedCount_ = 0;    // files of the result removed since the scan
    uint64_t removedBytes_ = 0;
    std::vector<std::string> saveFilesPathArray_;
    TWLoadFilesCtrlDelegate* delegate_ = nullptr;
};
