#include "app/TWLoadFilesCtrl.h"

#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

#include "app/TWAppInfo.h"
#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWFolderChooser.h"
#include "app/TWQtThumbnailProvider.h"
#include "app/TWScanAnimationView.h"
#include "files/TWFileUtility.h"
#include "platform/AppLauncher.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/MediaLibraryService.h"
#include "prefs/TWPreference.h"

namespace {

constexpr int kRingSide = 316;
constexpr int kRingTop = 18;
constexpr int kButtonSide = 72;
constexpr int kCaptionHeight = 18;

}  // namespace

TWLoadFilesCtrl* TWLoadFilesCtrl::shareLoadFilesCtrl() {
    return TWSharedInstance<TWLoadFilesCtrl>::get();
}

void TWLoadFilesCtrl::resetShared() {
    TWSharedInstance<TWLoadFilesCtrl>::reset();
}

TWLoadFilesCtrl::TWLoadFilesCtrl() {
    buildView();
    loadFilesStatus_ = 0;
    loadfileview_->setDataSource(this);
    loadfileview_->setDelegate(this);
    saveFilesPathArray_.clear();
    subscribeToEngine();
    updateFaceWithStatus();
}

void TWLoadFilesCtrl::subscribeToEngine() {
    // The engine posts on the main thread; a post from elsewhere is moved there.
    auto onMain = [this](std::function<void()> body) {
        if (tw::MainQueue::shared().isMainThread()) return body();
        QPointer<TWLoadFilesCtrl> self(this);
        tw::MainQueue::shared().post([self, body] {
            if (self) body();
        });
    };
    auto& center = tw::NotificationCenter::defaultCenter();
    startObserver_ = center.addObserver(TWSearchFilesWillStartNotification, [this, onMain](const tw::Notification&) {
        onMain([this] { searchDuplicateStart(); });
    });
    progressObserver_ =
        center.addObserver(TWSearchFilesProgressNotification, [this, onMain](const tw::Notification& note) {
            // Only this controller's engine moves its counters.
            auto* poster = std::any_cast<TWSearchDuplicateFiles*>(&note.object);
            onMain([this, engine = poster ? *poster : nullptr] {
                if (engine && engine == searchDuplicateFiles_.get()) searchDuplicateFileProcess();
            });
        });
    finishedObserver_ =
        center.addObserver(TWSearchFilesFinishedNotification, [this, onMain](const tw::Notification& note) {
            onMain([this, object = note.object] { searchDuplicateFileFinished(object); });
        });
}

TWLoadFilesCtrl::~TWLoadFilesCtrl() {
    startObserver_.reset();
    progressObserver_.reset();
    finishedObserver_.reset();
    if (searchDuplicateFiles_ && searchDuplicateFiles_->isSearching()) searchDuplicateFiles_->stopSearch();
    if (loadfileview_) {
        loadfileview_->setDataSource(nullptr);
        loadfileview_->setDelegate(nullptr);
    }
    delete view_;
}

void TWLoadFilesCtrl::buildView() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWLoadFilesCtrl"));
    view_->installEventFilter(this);

    scanAnimationView_ = new TWScanAnimationView(view_);
    loadfileview_ = new TWLoadFileDragView(view_);

    auto makeButton = [this](const QString& name) {
        auto* button = new QToolButton(view_);
        button->setObjectName(name);
        button->setFixedSize(kButtonSide, kButtonSide);
        button->setIconSize(QSize(kButtonSide, kButtonSide));
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"));
        return button;
    };
    btnImportFolders_ = makeButton(QStringLiteral("btnImportFolders"));
    btnScan_ = makeButton(QStringLiteral("btnScan"));
    connect(btnImportFolders_, &QToolButton::clicked, this, &TWLoadFilesCtrl::loadFilesFromOpenpanel);
    connect(btnScan_, &QToolButton::clicked, this, &TWLoadFilesCtrl::startOrStopSearch);
    // Enter presses the default button, Scan or Show Results; it never stops a scan.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(key, view_);
        enter->setContext(Qt::WindowShortcut);
        connect(enter, &QShortcut::activated, this, [this] {
            if (view_->isVisible() && loadFilesStatus_ != 1 && btnScan_->isEnabled()) btnScan_->click();
        });
    }

    auto makeCaption = [this] {
        auto* label = new QLabel(view_);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setFont(TWAppStyle::systemFont(9.5));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, TWAppStyle::secondaryText());
        label->setPalette(palette);
        return label;
    };
    importCaption_ = makeCaption();
    scanCaption_ = makeCaption();
    notice_ = makeCaption();
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setWordWrap(true);
    notice_->setFont(TWAppStyle::systemFont(10));
    btnScanDetails_ = new QPushButton(tr("Details"), view_);
    btnScanDetails_->setObjectName(QStringLiteral("btnScanDetails"));
    btnScanDetails_->hide();
    connect(btnScanDetails_, &QPushButton::clicked, this, &TWLoadFilesCtrl::showScanDetails);
    // A digest of a huge file sends no progress of its own: the counters poll it.
    readingTimer_ = new QTimer(this);
    readingTimer_->setInterval(250);
    connect(readingTimer_, &QTimer::timeout, loadfileview_, qOverload<>(&QWidget::update));
    layoutView();
}

bool TWLoadFilesCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::Resize) layoutView();
    return false;
}

void TWLoadFilesCtrl::layoutView() {
    // The ring and the drop area share one square in the middle; the add button sits
    // to its left, the scan button to its right, the notice line below it.
    const int W = view_->width();
    const int H = view_->height();
    const int side = std::min(kRingSide, std::max(120, H - kRingTop - 60));
    const QRect ring((W - side) / 2, kRingTop + std::max(0, (H - 400) / 2), side, side);
    scanAnimationView_->setGeometry(ring);
    loadfileview_->setGeometry(ring);

    const int gap = std::max(16, (ring.left() - kButtonSide) / 2);
    const int buttonTop = ring.center().y() - kButtonSide / 2 - kCaptionHeight / 2;
    btnImportFolders_->move(ring.left() - gap - kButtonSide, buttonTop);
    btnScan_->move(ring.right() + 1 + gap, buttonTop);
    const int captionWidth = kButtonSide + 2 * gap - 8;
    importCaption_->setGeometry(btnImportFolders_->x() + kButtonSide / 2 - captionWidth / 2,
                                buttonTop + kButtonSide + 6, captionWidth, kCaptionHeight);
    scanCaption_->setGeometry(btnScan_->x() + kButtonSide / 2 - captionWidth / 2, buttonTop + kButtonSide + 6,
                              captionWidth, kCaptionHeight);
    const int details = !btnScanDetails_->isHidden() ? btnScanDetails_->sizeHint().width() + 8 : 0;
    notice_->setGeometry(24, ring.bottom() + 12, W - 48 - details, std::max(20, H - ring.bottom() - 18));
    btnScanDetails_->move(W - 24 - details + 8, ring.bottom() + 10);
}

void TWLoadFilesCtrl::setButtonPicture(QToolButton* button, const QString& picture) {
    button->setIcon(TWArtwork::icon(picture));
    if (button == btnScan_) scanButtonPicture_ = picture;
    if (button == btnImportFolders_) addButtonPicture_ = picture;
}

QString TWLoadFilesCtrl::noticeText() const {
    return notice_->text();
}

void TWLoadFilesCtrl::updateNotice() {
    QString line;
    switch (loadFilesStatus_) {
        case 0:
            line = saveFilesPathArray_.empty() ? tr("Drop folders on the circle, or press + to choose them.")
                                               : tr("Press Scan to look for duplicates, or add more folders.");
            break;
        case 1:
            line = tr("Scanning… Press Stop to end the scan early.");
            break;
        default:
            if (scanWasStopped_)
                line = duplicatesFound() > 0
                           ? tr("The scan was stopped. Press Show Results to review what it found so far.")
                           : tr("The scan was stopped before it found duplicates. Press New Scan to start over.");
            else
                line = duplicatesFound() > 0 ? tr("Scan complete. Press Show Results to review the duplicates.")
                                             : tr("No duplicates were found. Press New Scan to start over.");
            break;
    }
    if (loadFilesStatus_ != 0 && !libraryNotices_.isEmpty()) line = libraryNotices_.join(QLatin1Char('\n'));
    const QStringList report = scanReportLines();
    if (!report.isEmpty()) line += QLatin1Char('\n') + report.join(QLatin1Char('\n'));
    notice_->setText(line);
    btnScanDetails_->setVisible(!report.isEmpty());
    layoutView();
}

QStringList TWLoadFilesCtrl::scanReportLines() const {
    QStringList lines;
    if (loadFilesStatus_ != 2 || !searchDuplicateFiles_) return lines;
    const TWScanReport& report = searchDuplicateFiles_->scanReport();
    for (const TWScanReport::Entry& notice : report.notices()) lines << QString::fromStdString(notice.text);
    if (const uint64_t skipped = report.numberOfSkippedPaths(); skipped > 0)
        lines << (skipped == 1 ? tr("1 path could not be read.")
                               : tr("%1 paths could not be read.").arg(qulonglong(skipped)));
    return lines;
}

void TWLoadFilesCtrl::showScanDetails() {
    if (!searchDuplicateFiles_) return;
    const TWScanReport& report = searchDuplicateFiles_->scanReport();
    QStringList details;
    for (const TWScanReport::Entry& notice : report.notices())
        details << QString::fromStdString(notice.path) + QStringLiteral(": ") + QString::fromStdString(notice.text);
    const std::vector<TWScanReport::Entry> skipped = report.skippedPaths();
    for (const TWScanReport::Entry& entry : skipped)
        details << QString::fromStdString(entry.path) + QStringLiteral(": ") + QString::fromStdString(entry.text);
    if (report.numberOfSkippedPaths() > skipped.size())
        details << tr("…and %1 more paths.").arg(qulonglong(report.numberOfSkippedPaths() - skipped.size()));

    delete scanDetails_;
    scanDetails_ = new QMessageBox(view_ ? view_->window() : nullptr);
    scanDetails_->setObjectName(QStringLiteral("scanDetails"));
    scanDetails_->setAttribute(Qt::WA_DeleteOnClose);
    scanDetails_->setIcon(QMessageBox::Information);
    scanDetails_->setWindowTitle(tr("Scan"));
    scanDetails_->setText(scanReportLines().join(QLatin1Char('\n')));
    // Up to a thousand lines: in the box's scrolling details area.
    scanDetails_->setDetailedText(details.join(QLatin1Char('\n')));
    scanDetails_->setStandardButtons(QMessageBox::Ok);
    scanDetails_->open();
}

QString TWLoadFilesCtrl::readingText() const {
    if (loadFilesStatus_ != 1 || !searchDuplicateFiles_) return {};
    const TWReadControl::Progress reading = searchDuplicateFiles_->digestProgress();
    if (reading.files == 0 || reading.bytesTotal == 0) return {};
    return tr("Reading %1 of %2")
        .arg(QString::fromStdString(TWFileUtility::stringWithSize(std::min(reading.bytesRead, reading.bytesTotal))),
             QString::fromStdString(TWFileUtility::stringWithSize(reading.bytesTotal)));
}

uint64_t TWLoadFilesCtrl::duplicatesFound() const {
    return searchDuplicateFiles_ ? searchDuplicateFiles_->numberOfDuplicateFiles() : 0;
}

void TWLoadFilesCtrl::updateFaceWithStatus() {
    const bool hasFolders = !saveFilesPathArray_.empty();
    switch (loadFilesStatus_) {
        case 0:
            scanAnimationView_->setWaringStatus(false);
            scanAnimationView_->stopAnimation();
            setButtonPicture(btnScan_, QStringLiteral("btn_scan"));
            btnScan_->setEnabled(hasFolders);
            setButtonPicture(btnImportFolders_, QStringLiteral("button_plus"));
            btnImportFolders_->setEnabled(true);
            importCaption_->setText(tr("Add Folders"));
            scanCaption_->setText(tr("Scan"));
            break;
        case 1:
            scanAnimationView_->setWaringStatus(false);
            scanAnimationView_->startAnimation();
            setButtonPicture(btnScan_, QStringLiteral("btn_stop"));
            btnScan_->setEnabled(true);
            setButtonPicture(btnImportFolders_, QStringLiteral("btn_plus_disabled"));
            btnImportFolders_->setEnabled(false);
            importCaption_->setText(tr("Add Folders"));
            scanCaption_->setText(tr("Stop"));
            break;
        default:
            scanAnimationView_->setWaringStatus(duplicatesFound() == 0 && !scanWasStopped_);
            scanAnimationView_->stopAnimation();
            setButtonPicture(btnScan_, QStringLiteral("btn_showresults"));
            btnScan_->setEnabled(duplicatesFound() > 0);
            setButtonPicture(btnImportFolders_, QStringLiteral("btn_newScan"));
            btnImportFolders_->setEnabled(true);
            importCaption_->setText(tr("New Scan"));
            scanCaption_->setText(tr("Show Results"));
            break;
    }
    updateNotice();
    if (loadFilesStatus_ == 1)
        readingTimer_->start();
    else
        readingTimer_->stop();
    btnScan_->setToolTip(scanCaption_->text());
    btnScan_->setAccessibleName(scanCaption_->text());
    btnImportFolders_->setToolTip(importCaption_->text());
    btnImportFolders_->setAccessibleName(importCaption_->text());
    loadfileview_->reload();
    emit faceChanged();
}

void TWLoadFilesCtrl::reloadData() {
    updateFaceWithStatus();
    loadfileview_->reload();
}

void TWLoadFilesCtrl::loadFilesFromOpenpanel() {
    if (loadFilesStatus_ == 2) return newScan();
    if (loadFilesStatus_ != 0) return;
    openFolderChooser();
}

void TWLoadFilesCtrl::openFolderChooser() {
    QPointer<TWLoadFilesCtrl> self(this);
    TWFolderChooser::open(view_ ? view_->window() : nullptr, [self](const std::vector<std::string>& folders) {
        if (!self || self->loadFilesStatus_ != 0) return;
        self->addFolder(folders);
        self->updateFaceWithStatus();
    });
}

void TWLoadFilesCtrl::resetScanState() {
    stopRequested_ = false;
    scanWasStopped_ = false;
    removedCount_ = 0;
    removedBytes_ = 0;
}

void TWLoadFilesCtrl::scanAgain() {
    if (loadFilesStatus_ == 1 || saveFilesPathArray_.empty()) return;
    loadFilesStatus_ = 0;
    searchDuplicateFiles_.reset();
    libraryNotices_.clear();
    resetScanState();
    updateFaceWithStatus();
    startOrStopSearch();
}

void TWLoadFilesCtrl::filesRemoved(uint64_t count, uint64_t bytes) {
    removedCount_ += count;
    removedBytes_ += bytes;
    loadfileview_->update();
}

void TWLoadFilesCtrl::filesRestored(uint64_t count, uint64_t bytes) {
    removedCount_ -= std::min(removedCount_, count);
    removedBytes_ -= std::min(removedBytes_, bytes);
    loadfileview_->update();
}

void TWLoadFilesCtrl::newScan() {
    // The folder list stays: a new scan most often looks at the same folders again.
    resetScanState();
    loadFilesStatus_ = 0;
    searchDuplicateFiles_.reset();
    libraryNotices_.clear();
    updateFaceWithStatus();
    if (delegate_) delegate_->TWLoadFileCtrlReset(*this);
}

void TWLoadFilesCtrl::addFolder(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (std::find(saveFilesPathArray_.begin(), saveFilesPathArray_.end(), path) == saveFilesPathArray_.end()) {
            saveFilesPathArray_.push_back(path);
        }
    }
}

void TWLoadFilesCtrl::clearFolders() {
    if (!canClearFolder()) return;
    resetScanState();
    loadFilesStatus_ = 0;
    searchDuplicateFiles_.reset();
    libraryNotices_.clear();
    saveFilesPathArray_.clear();
    if (delegate_) delegate_->TWLoadFileCtrlReset(*this);
    updateFaceWithStatus();
}

// --- drop area ---

int64_t TWLoadFilesCtrl::TWLoadFileDragViewNumberOfFolder(TWLoadFileDragView&) {
    return static_cast<int64_t>(saveFilesPathArray_.size());
}

QIcon TWLoadFilesCtrl::TWLoadFileDragViewIconAtIndex(TWLoadFileDragView&, int64_t index) {
    if (index < 0 || size_t(index) >= saveFilesPathArray_.size()) return {};
    return TWQtThumbnailProvider::desktopIconForPath(QString::fromStdString(saveFilesPathArray_[size_t(index)]));
}

QString TWLoadFilesCtrl::TWLoadFileDragViewLabelAtIndex(TWLoadFileDragView&, int64_t index) {
    if (index < 0 || size_t(index) >= saveFilesPathArray_.size()) return {};
    return QString::fromStdString(TWFileUtility::lastPathComponent(saveFilesPathArray_[size_t(index)]));
}

void TWLoadFilesCtrl::TWLoadFileDragViewDragFolders(TWLoadFileDragView&, const std::vector<std::string>& paths) {
    addFolder(paths);
    updateFaceWithStatus();
}

void TWLoadFilesCtrl::TWLoadFileDragViewRemoveFolderAtIndex(TWLoadFileDragView&, int64_t index) {
    if (index >= 0 && size_t(index) < saveFilesPathArray_.size()) {
        saveFilesPathArray_.erase(saveFilesPathArray_.begin() + index);
    }
    updateFaceWithStatus();
}

// The totals of the scan, less the files removed from its result since.
int64_t TWLoadFilesCtrl::TWLoadFileDragViewNumberOfDupcaliteFiles(TWLoadFileDragView&) {
    const uint64_t found = searchDuplicateFiles_ ? searchDuplicateFiles_->numberOfDuplicateFiles() : 0;
    return int64_t(found - std::min(found, removedCount_));
}

int64_t TWLoadFilesCtrl::TWLoadFileDragViewNumberOfScanFiles(TWLoadFileDragView&) {
    const uint64_t scanned = searchDuplicateFiles_ ? searchDuplicateFiles_->numberOfSearchFiles() : 0;
    return int64_t(scanned - std::min(scanned, removedCount_));
}

uint64_t TWLoadFilesCtrl::TWLoadFileDragViewNumberOfScanSize(TWLoadFileDragView&) {
    const uint64_t size = searchDuplicateFiles_ ? searchDuplicateFiles_->sizeOfDuplicateFiles() : 0;
    return size - std::min(size, removedBytes_);
}

// --- scanning ---

void TWLoadFilesCtrl::startOrStopSearch() {
    switch (loadFilesStatus_) {
        case 0: {
            if (saveFilesPathArray_.empty()) return;
            if (!searchDuplicateFiles_) {
                // Walkers hand their counts over without waiting for the GUI thread: every
                // count still arrives in order with its notification, but a busy window
                // never holds the scan back.
                TWSearchDuplicateFiles::Options options;
                options.waitForCounts = false;
                searchDuplicateFiles_ = engineFactory_ ? engineFactory_() : TWSearchDuplicateFiles::init(options);
            }
            auto& engine = *searchDuplicateFiles_;
            libraryNotices_.clear();
            const auto& paths = saveFilesPathArray_;
            bool photos = false;
            if (TWSearchDuplicateFiles::containPhotosLibrary(paths)) {
                photos = askAboutLibrary("Photos", TWPreference::shared().PhotosLibraryLocation(), tr("photo"),
                                         MLMediaSourcePhotosIdentifier);
            }
            engine.setSearchPhotosLibrary(photos);
            bool music = false;
            if (TWSearchDuplicateFiles::containiTunesLibrary(paths)) {
                // Linux takes the newer branch: the music library's application is "Music".
                music = askAboutLibrary("Music", TWPreference::shared().iTunesMediaFolderLocation(), tr("music"),
                                        MLMediaSourceiTunesIdentifier);
            }
            engine.setSearchiTunesLibrary(music);
            engine.searchRootPaths(paths);
            // The status changes when the engine's start notification arrives.
            engine.startSearch();
            return;
        }
        case 1:
            if (searchDuplicateFiles_) {
                stopRequested_ = true;
                searchDuplicateFiles_->stopSearch();
            }
            return;
        default:
            if (duplicatesFound() > 0 && delegate_) delegate_->TWLoadFileCtrlShowResultAgain(*this);
            return;
    }
}

bool TWLoadFilesCtrl::askAboutLibrary(const std::string& appName, const std::string& location, const QString& kind,
                                      const char* source) {
    auto service = tw::MediaLibraryService::installed();
    if (!service) {
        libraryNotices_ << tr("Skipped the %1 library in “%2”: %3 cannot read %1 libraries on this system yet.")
                               .arg(kind, QString::fromStdString(location), TWAppInfo::displayName());
        tw::log("no media library backend: the %s library at %s is skipped", appName.c_str(), location.c_str());
        return false;
    }
    auto libraries = service->librariesOf(source);
    if (!libraries) {
        bool open = alertApp(appName, location) == TWAlertSecondButtonReturn;
        if (open) tw::AppLauncher::launchByName(appName);
        return open;
    }
    std::string names, locations;
    for (const tw::MediaLibraryInfo& library : *libraries) {
        if (!library.problem.empty()) {
            libraryNotices_ << tr("Skipped the %1 library in “%2”: %3.")
                                   .arg(QString::fromStdString(library.name), QString::fromStdString(library.location),
                                        QString::fromStdString(library.problem));
            continue;
        }
        names += (names.empty() ? "" : " and ") + library.name;
        locations += (locations.empty() ? "" : "\", \"") + library.location;
    }
    if (names.empty()) return false;
    // A music library is changed through its running application, which is opened now;
    // photo libraries are read from their databases and need their application closed.
    if (std::string(source) == MLMediaSourceiTunesIdentifier) {
        bool open = alertApp(names, locations) == TWAlertSecondButtonReturn;
        if (open) tw::AppLauncher::launchByName(names);
        return open;
    }
    return alertReadLibrary(names, locations) == TWAlertSecondButtonReturn;
}

int TWLoadFilesCtrl::alertReadLibrary(const std::string& appNames, const std::string& libraries) {
    return alertLibrary(
        QString::asprintf("%s will read your %s library \"%s\" to detect duplicates",
                          TWAppInfo::displayName().toUtf8().constData(), appNames.c_str(), libraries.c_str()),
        QString::asprintf("Duplicates in it are tagged in %s for you to delete there. Close %s "
                          "before you remove duplicates: its library is changed only while it is "
                          "closed.",
                          appNames.c_str(), appNames.c_str()),
        QStringLiteral("Include"));
}

int TWLoadFilesCtrl::alertApp(const std::string& appName, const std::string& library) {
    return alertLibrary(
        QString::asprintf("%s will now open %s to detect duplicates in your \"%s\"",
                          TWAppInfo::displayName().toUtf8().constData(), appName.c_str(), library.c_str()),
        QString::asprintf("It is required to keep %s open until you finish locating and removing duplicates.",
                          appName.c_str()),
        QStringLiteral("Open"));
}

int TWLoadFilesCtrl::alertLibrary(const QString& text, const QString& informative, const QString& accept) {
    QMessageBox alert(view_ ? view_->window() : nullptr);
    alert.setObjectName(QStringLiteral("libraryAlert"));
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.setText(text);
    alert.setInformativeText(informative);
    QPushButton* skip = alert.addButton(QStringLiteral("Skip This Library"), QMessageBox::RejectRole);
    QPushButton* second = alert.addButton(accept, QMessageBox::AcceptRole);
    alert.setDefaultButton(second);
    alert.setEscapeButton(skip);
    alert.exec();
    return alert.clickedButton() == second ? TWAlertSecondButtonReturn : TWAlertFirstButtonReturn;
}

void TWLoadFilesCtrl::searchDuplicateStart() {
    // Another engine's scan (none of this controller's) is not this view's business.
    if (!searchDuplicateFiles_ || loadFilesStatus_ != 0) return;
    resetScanState();
    loadFilesStatus_ = 1;
    updateFaceWithStatus();
    if (delegate_) delegate_->TWLoadFileCtrlStartSearch(*this);
}

void TWLoadFilesCtrl::searchDuplicateFileProcess() {
    loadfileview_->update();
}

void TWLoadFilesCtrl::searchDuplicateFileFinished(const std::any& object) {
    if (!searchDuplicateFiles_ || loadFilesStatus_ != 1) return;
    scanWasStopped_ = stopRequested_;
    loadFilesStatus_ = 2;
    updateFaceWithStatus();
    if (duplicatesFound() == 0 || !delegate_) return;
    using Result = std::vector<std::shared_ptr<TWCategoryFiles>>;
    const Result* result = std::any_cast<Result>(&object);
    delegate_->TWLoadFileCtrlCompleteSearchWithResult(*this, result ? *result : Result());
}
