#pragma once
// The summary after a removal, over the results window: how many files went, how many
// bytes that frees, where they went, with a button that opens that place ("Open Trash"
// or "Open Folder"), "Undo" (also Ctrl+Z) for a removal to the Trash, and the files left in place with
// their reasons. Undo asks its owner (undoRequested) and then shows what came back and
// what did not, naming every file whose place was taken meanwhile.
//
// Main thread only.

#include <QDialog>
#include <QString>
#include <functional>

#include "removal/TWRemovalProgress.h"
#include "removal/TWTrashUndo.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TWRemovalSummary : public QDialog {
    Q_OBJECT
public:
    // The texts of the files left in place (the browser's report), shown below.
    struct LeftFiles {
        QString headline;
        QString informative;
        QString details;
    };
    TWRemovalSummary(const TWRemovalOutcome& outcome, const LeftFiles& left, QWidget* parent);

    // The first line: "3 files moved to the Trash".
    static QString headline(const TWRemovalOutcome& outcome);
    // The place the Open button opens ("trash:///" or the folder's URI); empty for a
    // deletion.
    static QString placeUri(const TWRemovalOutcome& outcome);

    // Opens a place; by default in the desktop's file manager (tests replace it).
    using Opener = std::function<void(const QString& uri, QWidget* parent)>;
    static void setOpener(Opener opener);

    // Shows the summary window-modal, raised and active, and keeps it active while a
    // window that has hidden (the progress window) would hold the keyboard instead.
    void present();

    // Shows the undo's outcome and retires Undo.
    void showUndoResult(const TWTrashUndo::Result& result);

    // Open and Undo are null where they do not apply.
    QLabel* headlineLabel() const { return headline_; }
    QLabel* bodyLabel() const { return body_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* undoButton() const { return undo_; }
    QPushButton* closeButton() const { return close_; }
    QPlainTextEdit* detailsView() const { return details_; }

signals:
    void undoRequested();

protected:
    bool event(QEvent* event) override;

private:
    // Whether keys sent to `window` would reach no one while this summary shows.
    bool cannotTakeKeys(const QWidget* window) const;
    // Activates the summary when a window that cannot take keys is the active one.
    void reclaimActivation();
    QString bodyText(const TWRemovalOutcome& outcome, const LeftFiles& left) const;

    QString uri_;
    QLabel* headline_ = nullptr;
    QLabel* body_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* undo_ = nullptr;
    QPushButton* close_ = nullptr;
    QPlainTextEdit* details_ = nullptr;
};
