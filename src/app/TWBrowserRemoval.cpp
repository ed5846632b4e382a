// The browser's removal: confirmation, the run in the background under the progress
// window, and the refreshes, the library guide and the report at its end.

#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>
#include <map>

#include "app/TWBrowserNotifications.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCleanMediaLibraryWndCtrl.h"
#include "app/TWProgressWndCtrl.h"
#include "app/TWRemovalSummary.h"
#include "app/TWStaleResultBar.h"
#include "files/TWFileUtility.h"
#include "model/TWDuplicateFilesManager.h"
#include "platform/Executors.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Trash.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPreferenceTypes.h"
#include "removal/TWManagerRemovalSource.h"
#include "removal/TWRemovalReview.h"
#include "removal/TWRemovalRun.h"
#include "removal/TWTrashUndo.h"

// Hands the run's reports to the browser, if it is still there.
class TWBrowserRemovalProgress : public TWRemovalProgress {
public:
    explicit TWBrowserRemovalProgress(TWBrowserResoultViewCtrl* browser) : browser_(browser) {}
    void removalDidStart() override {
        if (browser_) browser_->removalDidStart();
    }
    void removalIsWaiting() override {
        if (browser_) browser_->removalIsWaiting();
    }
    void removalDidProgress(double percent, const std::string& title) override {
        if (browser_) browser_->removalDidProgress(percent, title);
    }
    void removalDidFinish(const TWRemovalOutcome& outcome) override {
        if (browser_) browser_->removalDidFinish(outcome);
    }

private:
    QPointer<TWBrowserResoultViewCtrl> browser_;
};

namespace {

// Asks an application-modal question with "Yes" (default) and "No"; true for Yes.
// With `similar` > 0 the question says that many checked files are only similar to the
// images kept, and a check box, off by default, decides whether they go too
// (*includeSimilar).
bool confirm(QWidget* parent, const QString& text, const QString& informative, uint64_t similar, bool* includeSimilar) {
    QMessageBox alert(parent);
    alert.setObjectName(QStringLiteral("removalConfirmation"));
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowTitle(QObject::tr("Delete"));
    alert.setText(text);
    QString more = informative;
    if (similar > 0) {
        more += QStringLiteral("\n\n") +
                QObject::tr("%1 of the checked files are only similar to the images kept, not identical copies.")
                    .arg(qulonglong(similar));
        auto* box = new QCheckBox(QObject::tr("Remove them too"));
        box->setObjectName(QStringLiteral("includeSimilar"));
        alert.setCheckBox(box);
    }
    alert.setInformativeText(more.trimmed());
    QPushButton* yes = alert.addButton(QStringLiteral("Yes"), QMessageBox::AcceptRole);
    alert.addButton(QStringLiteral("No"), QMessageBox::RejectRole);
    alert.setDefaultButton(yes);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.exec();
    *includeSimilar = alert.checkBox() && alert.checkBox()->isChecked();
    return alert.clickedButton() == yes;
}

enum class ContentChoice { OnlyIdentical, All, Cancel };

// Name mode: `differing` checked files have a content that no kept file of their group
// has. The default removes only the others.
ContentChoice askAboutDifferingContent(QWidget* parent, size_t differing) {
    QMessageBox alert(parent);
    alert.setObjectName(QStringLiteral("differingContent"));
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowTitle(QObject::tr("Delete"));
    alert.setText(QObject::tr("%1 of the checked files differ in content from the file kept in their group.")
                      .arg(qulonglong(differing)));
    alert.setInformativeText(QObject::tr("They were matched by name and size only."));
    QPushButton* identical = alert.addButton(QStringLiteral("Remove only identical files"), QMessageBox::AcceptRole);
    QPushButton* all = alert.addButton(QStringLiteral("Remove all"), QMessageBox::DestructiveRole);
    alert.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert.setDefaultButton(identical);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.exec();
    if (alert.clickedButton() == identical) return ContentChoice::OnlyIdentical;
    if (alert.clickedButton() == all) return ContentChoice::All;
    return ContentChoice::Cancel;
}

// "1 file (12 KB)" or "3 files (1.5 MB)": what the confirmation is about.
QString filesAndSize(uint64_t count, uint64_t bytes) {
    const QString size = QString::fromStdString(TWFileUtility::stringWithSize(bytes));
    return count == 1 ? QObject::tr("1 file (%1)").arg(size)
                      : QObject::tr("%1 files (%2)").arg(qulonglong(count)).arg(size);
}

// The warning for checked files that the Trash cannot take: the run leaves them.
QString untrashableWarning(uint64_t count) {
    if (count == 0) return QString();
    return count == 1 ? QObject::tr(
                            "Warning: 1 of these files lies on a drive where the Trash cannot be used. It "
                            "will be left in place.")
                      : QObject::tr(
                            "Warning: %1 of these files lie on a drive where the Trash cannot be used. They "
                            "will be left in place.")
                            .arg(qulonglong(count));
}

// How many checked files of `containers` `canTrash` refuses.
uint64_t countUntrashable(const TWRemovalReview::Containers& containers,
                          const TWBrowserResoultViewCtrl::TrashCheck& canTrash, const std::atomic<bool>& cancelled) {
    uint64_t count = 0;
    for (const auto& container : containers) {
        if (!container) continue;
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            if (!group || group->numberOfChecked() == 0) continue;
            for (const auto& file : group->itemsOfFileUtility()) {
                if (cancelled.load()) return count;
                if (file && file->isChecked() && !canTrash(file->filePath())) ++count;
            }
        }
    }
    return count;
}

// The files of `files` that are still checked.
std::vector<TWRemovalReview::Differing> stillChecked(std::vector<TWRemovalReview::Differing> files) {
    std::erase_if(files,
                  [](const TWRemovalReview::Differing& entry) { return !entry.file || !entry.file->isChecked(); });
    return files;
}

}  // namespace

void TWBrowserResoultViewCtrl::deleteDuplicateFile() {
    if (isRemoving()) return;
    QWidget* window = view_ ? view_->window() : nullptr;
    switch (TWPreference::shared().destType()) {
        case TWDestTypeTrash:
        case TWDestTypeDeletePermanently:
            reviewThenRemove(std::nullopt);
            break;
        case TWDestTypeMoveToFolder: {
            auto* chooser = new QFileDialog(window, tr("Choose a Folder to Move the Files Into"));
            chooser->setObjectName(QStringLiteral("moveToFolderChooser"));
            chooser->setAttribute(Qt::WA_DeleteOnClose);
            chooser->setFileMode(QFileDialog::Directory);
            chooser->setOption(QFileDialog::ShowDirsOnly, true);
            chooser->setAcceptMode(QFileDialog::AcceptOpen);
            chooser->setLabelText(QFileDialog::Accept, tr("Move Here"));
            QPointer<TWBrowserResoultViewCtrl> self(this);
            connect(chooser, &QFileDialog::fileSelected, this, [self](const QString& folder) {
                if (self && !folder.isEmpty()) self->reviewThenRemove(folder.toStdString());
            });
            chooser->open();
            break;
        }
        default:
            break;
    }
}

void TWBrowserResoultViewCtrl::reviewThenRemove(const std::optional<std::string>& folder) {
    if (isRemoving()) return;
    // The review reads files: it runs in the background under the progress window, whose
    // Cancel drops it.
    reviewing_ = true;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    progress->setCancelHandler([cancelled] { cancelled->store(true); });
    progress->setIsCancelled(false);
    progress->setPercent(0);
    progress->setTitle(QString::fromLatin1(kTWComparingTitle));
    progress->beginSheet(view_ ? view_->window() : nullptr);

    const auto containers = TWDuplicateFilesManager::shared().allDuplicateFiles();
    const bool nameMode = TWPreference::shared().searchMode() == TWSearchModeName;
    TrashCheck canTrash;
    if (TWPreference::shared().destType() == TWDestTypeTrash)
        canTrash = trashCheck_ ? trashCheck_ : TrashCheck(&tw::Trash::canTrash);
    QPointer<TWBrowserResoultViewCtrl> self(this);
    tw::WorkerPool::defaultPriority().submit([self, containers, nameMode, canTrash, folder, cancelled] {
        RemovalReview review;
        review.merelySimilar = TWRemovalReview::merelySimilarChecked(containers);
        if (nameMode && !cancelled->load()) review.differing = TWRemovalReview::checkedDifferingFromKept(containers);
        if (canTrash && !cancelled->load()) review.untrashable = countUntrashable(containers, canTrash, *cancelled);
        tw::MainQueue::shared().post([self, review = std::move(review), folder, cancelled] {
            if (!self) return;
            TWProgressWndCtrl::progressWndCtrl()->endSheet();
            std::optional<bool> onlyIdentical;
            if (!cancelled->load() && !self->closing_) onlyIdentical = self->ask(folder, review);
            if (!self) return;  // the questions ran an event loop
            self->reviewing_ = false;
            if (onlyIdentical && !self->closing_) self->removedCheckedFilesWithFolder(folder, *onlyIdentical);
        });
    });
}

std::optional<bool> TWBrowserResoultViewCtrl::ask(const std::optional<std::string>& folder,
                                                  const RemovalReview& review) {
    QWidget* window = view_ ? view_->window() : nullptr;
    const auto similar = stillChecked(review.merelySimilar);
    bool includeSimilar = false;
    bool yes = true;
    const TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    const QString files = filesAndSize(manager.numberOfFilesCheckedToRemoved(), manager.sizeOfFilesCheckedToRemoved());
    switch (TWPreference::shared().destType()) {
        case TWDestTypeTrash:
            yes = confirm(window, tr("%1 will be moved to the Trash. Are you sure?").arg(files),
                          untrashableWarning(review.untrashable), similar.size(), &includeSimilar);
            break;
        case TWDestTypeDeletePermanently:
            yes = confirm(window, tr("%1 will be deleted permanently. Are you sure?").arg(files),
                          QStringLiteral("Warning: You can not undo this action!"), similar.size(), &includeSimilar);
            break;
        default:
            // A move asks nothing more than its folder, unless some files are merely similar.
            if (!similar.empty())
                yes = confirm(window,
                              tr("%1 will be moved into %2.").arg(files, QString::fromStdString(folder.value_or(""))),
                              QString(), similar.size(), &includeSimilar);
            break;
    }
    if (!yes) return std::nullopt;
    if (!includeSimilar) leaveAlone(similar);

    bool onlyIdentical = false;
    if (const auto differing = stillChecked(review.differing); !differing.empty()) {
        switch (askAboutDifferingContent(window, differing.size())) {
            case ContentChoice::OnlyIdentical:
                leaveAlone(differing);
                onlyIdentical = true;
                break;
            case ContentChoice::All:
                break;
            case ContentChoice::Cancel:
                return std::nullopt;
        }
    }
    return onlyIdentical;
}

void TWBrowserResoultViewCtrl::leaveAlone(const std::vector<TWRemovalReview::Differing>& files) {
    if (files.empty()) return;
    TWRemovalReview::leaveAlone(files);
    tw::NotificationCenter::defaultCenter().post(TWFilesCheckDidChangedNotification);
}

bool TWBrowserResoultViewCtrl::isRemoving() const {
    return reviewing_ || (removal_ && !removal_->isFinished());
}

void TWBrowserResoultViewCtrl::removedCheckedFilesWithFolder(const std::optional<std::string>& folder,
                                                             bool onlyIdentical) {
    if (isRemoving()) return;
    auto source = std::make_shared<TWManagerRemovalSource>(TWDuplicateFilesManager::shared());
    auto progress = std::make_shared<TWBrowserRemovalProgress>(this);
    TWRemovalRun::Options options = TWRemovalRun::optionsFromPreferences(folder.value_or(""));
    options.onlyIdentical = onlyIdentical;
    removal_ = TWRemovalRun::create(source, progress, std::move(options));
    std::weak_ptr<TWRemovalRun> run = removal_;
    TWProgressWndCtrl::progressWndCtrl()->setCancelHandler([run] {
        if (auto live = run.lock()) live->cancel();
    });
    removal_->start();
}

void TWBrowserResoultViewCtrl::removalDidStart() {
    // The run clears its cancel flag as it starts; a browser closing meanwhile sets it
    // again here, so that only the first file is taken.
    if (closing_) {
        if (removal_) removal_->cancel();
        return;
    }
    // Cancelled while it waited for another removal: it ends without a file.
    if (removal_ && removal_->isCancelled()) return;
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    progress->setIsCancelled(false);
    progress->setPercent(0);
    progress->setTitle(QString::fromLatin1(kTWProcessingTitle));
    progress->beginSheet(view_ ? view_->window() : nullptr);
}

void TWBrowserResoultViewCtrl::removalIsWaiting() {
    if (closing_) return;
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    progress->setIsCancelled(false);
    progress->setPercent(0);
    progress->setTitle(QString::fromLatin1(kTWWaitingTitle));
    progress->beginSheet(view_ ? view_->window() : nullptr);
}

void TWBrowserResoultViewCtrl::removalDidProgress(double percent, const std::string& title) {
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    progress->setPercent(percent);
    progress->setTitle(QString::fromStdString(title));
}

void TWBrowserResoultViewCtrl::removalDidFinish(const TWRemovalOutcome& outcome) {
    TWProgressWndCtrl::progressWndCtrl()->endSheet();
    updateStatusInfo();
    if (isSplitViewOnScreen()) {
        updateDuplicateFilesState();
        updateDetailFilesState();
    } else {
        updateOverviewState();
    }
    if (outcome.touchedLibrary()) {
        TWCleanMediaLibraryWndCtrl* guide = TWCleanMediaLibraryWndCtrl::shareCleanMediaLibraryWndCtrl();
        guide->setCleanPhotos(outcome.cleanPhotos);
        guide->setCleanItunes(outcome.cleanItunes);
        guide->setAlbumNameInPhotos(QString::fromLatin1(kTWDuplicateAlbumName));
        guide->setGroupNameInPhotos(QString::fromLatin1(kTWDuplicateFolderName));
        guide->setPlaylistNameInItunes(QString::fromLatin1(kTWDuplicatePlaylistName));
        guide->setLibraryNames(outcome.photosLibraries, outcome.musicLibraries);
        guide->updateFace();
        guide->show();
        guide->raise();
    }
    reportLeftFiles(outcome);
    showRemovalSummary(outcome);
    if (outcome.disposedFiles > 0) emit filesRemoved(outcome.disposedFiles, outcome.disposedBytes);
    emit removalFinished();
}

void TWBrowserResoultViewCtrl::showRemovalSummary(const TWRemovalOutcome& outcome) {
    lastTrashed_ = outcome.trashed;
    // Library items alone get the library guide instead.
    if (outcome.disposedFiles == 0 && outcome.failed == 0) return;
    delete summary_;
    summary_ = new TWRemovalSummary(outcome, {leftHeadline_, leftInformative_, leftDetails_},
                                    view_ ? view_->window() : nullptr);
    connect(summary_, &TWRemovalSummary::undoRequested, this, &TWBrowserResoultViewCtrl::undoLastRemoval);
    summary_->setWindowModality(Qt::WindowModal);
    summary_->present();
}

void TWBrowserResoultViewCtrl::undoLastRemoval() {
    if (lastTrashed_.empty() || isRemoving()) return;
    const TWTrashUndo::Result result = TWTrashUndo::restore(lastTrashed_);
    lastTrashed_.clear();
    if (summary_) summary_->showUndoResult(result);
    if (result.restored.empty()) return;
    // The results dropped these files; they are on disk again, so only a new scan tells
    // the truth now.
    staleBar_->showFilesPutBack();
    emit filesRestored(result.restored.size(), result.restoredBytes);
}

void TWBrowserResoultViewCtrl::reportLeftFiles(const TWRemovalOutcome& outcome) {
    lastRemovalReport_.clear();
    leftHeadline_.clear();
    leftInformative_.clear();
    leftDetails_.clear();
    if (!outcome.notStarted.empty() && !outcome.cancelled) {
        showRemovalReport(tr("Nothing was removed."), QString::fromStdString(outcome.notStarted), QString());
        return;
    }
    if (outcome.failed == 0) return;
    // One message: how many, and why, the reasons counted so that a thousand files
    // refused for one cause read as one line.
    std::map<std::string, uint64_t> reasons;
    for (const TWRemovalFailure& failure : outcome.failures) ++reasons[failure.reason];
    const QString headline = outcome.failed == 1
                                 ? tr("1 file was left where it was.")
                                 : tr("%1 files were left where they were.").arg(qulonglong(outcome.failed));
    QStringList lines;
    for (const auto& [reason, count] : reasons)
        lines << (count == 1 ? QString::fromStdString(reason)
                             : tr("%1 (%2 files)").arg(QString::fromStdString(reason)).arg(qulonglong(count)));
    const int shown = 6;
    QString informative = lines.mid(0, shown).join(QLatin1Char('\n'));
    if (lines.size() > shown) informative += tr("\n…and %1 more reasons.").arg(lines.size() - shown);
    informative += outcome.keptChecked == 0
                       ? tr("\n\nThey stay on disk and no longer show in the results.")
                       : tr("\n\nThey stay on disk. The %1 library items stay checked in the results: remove again "
                            "once their library can take them.")
                             .arg(qulonglong(outcome.keptChecked));
    QStringList details;
    for (const TWRemovalFailure& failure : outcome.failures)
        details << QString::fromStdString(failure.path) + QStringLiteral(": ") + QString::fromStdString(failure.reason);
    lastRemovalReport_ = headline + QLatin1Char('\n') + informative;
    leftHeadline_ = headline;
    leftInformative_ = informative;
    leftDetails_ = details.join(QLatin1Char('\n'));
}

void TWBrowserResoultViewCtrl::showRemovalReport(const QString& headline, const QString& informative,
                                                 const QString& details) {
    lastRemovalReport_ = headline + QLatin1Char('\n') + informative;
    delete reportBox_;
    reportBox_ = new QMessageBox(view_ ? view_->window() : nullptr);
    reportBox_->setObjectName(QStringLiteral("removalReport"));
    reportBox_->setAttribute(Qt::WA_DeleteOnClose);
    reportBox_->setIcon(QMessageBox::Information);
    reportBox_->setWindowTitle(tr("Removal"));
    reportBox_->setText(headline);
    reportBox_->setInformativeText(informative);
    if (!details.isEmpty()) reportBox_->setDetailedText(details);
    reportBox_->setStandardButtons(QMessageBox::Ok);
    reportBox_->open();
}
