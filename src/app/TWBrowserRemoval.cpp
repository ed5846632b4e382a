// The browser's removal: confirmation, the run in the background under the progress
// window, and the refreshes, the library guide and the report at its end.

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <map>

#include "TWBrowserResoultViewCtrl.h"
#include "TWCleanMediaLibraryWndCtrl.h"
#include "TWDuplicateFilesManager.h"
#include "TWManagerRemovalSource.h"
#include "TWPreference.h"
#include "TWPreferenceTypes.h"
#include "TWProgressWndCtrl.h"
#include "TWRemovalRun.h"
#include "TWRemovalSummary.h"
#include "TWStaleResultBar.h"
#include "TWTrashUndo.h"

// Hands the run's reports to the browser, if it is still there.
class TWBrowserRemovalProgress : public TWRemovalProgress {
public:
    explicit TWBrowserRemovalProgress(TWBrowserResoultViewCtrl* browser) : browser_(browser) {}
    void removalDidStart() override {
        if (browser_) browser_->removalDidStart();
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
bool confirm(QWidget* parent, const QString& text, const QString& informative) {
    QMessageBox alert(parent);
    alert.setObjectName(QStringLiteral("removalConfirmation"));
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowTitle(QObject::tr("Delete"));
    alert.setText(text);
    alert.setInformativeText(informative);
    QPushButton* yes = alert.addButton(QStringLiteral("Yes"), QMessageBox::AcceptRole);
    alert.addButton(QStringLiteral("No"), QMessageBox::RejectRole);
    alert.setDefaultButton(yes);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.exec();
    return alert.clickedButton() == yes;
}

}  // namespace

void TWBrowserResoultViewCtrl::deleteDuplicateFile() {
    if (isRemoving()) return;
    QWidget* window = view_ ? view_->window() : nullptr;
    switch (TWPreference::shared().destType()) {
        case TWDestTypeTrash:
            if (confirm(window, QStringLiteral("The selected files will be deleted to Trash, are you sure to delete?"),
                        QStringLiteral("Warning: The files on the external drive can only be erased permanently.")))
                removedCheckedFilesWithFolder(std::nullopt);
            break;
        case TWDestTypeDeletePermanently:
            if (confirm(window,
                        QStringLiteral("The selected files will be permanently deleted, are you sure to delete?"),
                        QStringLiteral("Warning: You can not undo this action!")))
                removedCheckedFilesWithFolder(std::nullopt);
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
                if (self && !folder.isEmpty()) self->removedCheckedFilesWithFolder(folder.toStdString());
            });
            chooser->open();
            break;
        }
        default:
            break;
    }
}

bool TWBrowserResoultViewCtrl::isRemoving() const {
    return removal_ && !removal_->isFinished();
}

void TWBrowserResoultViewCtrl::removedCheckedFilesWithFolder(const std::optional<std::string>& folder) {
    if (isRemoving()) return;
    auto source = std::make_shared<TWManagerRemovalSource>(TWDuplicateFilesManager::shared());
    auto progress = std::make_shared<TWBrowserRemovalProgress>(this);
    removal_ = TWRemovalRun::create(source, progress, TWRemovalRun::optionsFromPreferences(folder.value_or("")));
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
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    progress->setIsCancelled(false);
    progress->setPercent(0);
    progress->setTitle(QString::fromLatin1(kTWProcessingTitle));
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
    summary_->open();
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
