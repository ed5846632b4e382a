#include "app/TWRemovalSummary.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "app/TWAppStyle.h"
#include "app/TWFolderReveal.h"
#include "files/TWFileUtility.h"
#include "prefs/TWPreferenceTypes.h"

namespace {

TWRemovalSummary::Opener& opener() {
    static TWRemovalSummary::Opener open = [](const QString& uri, QWidget* parent) {
        TWFolderReveal::openPlace(uri.toStdString(), parent);
    };
    return open;
}

QString sizeText(uint64_t bytes) {
    return QString::fromStdString(TWFileUtility::stringWithSize(bytes));
}

// The text for `n` in English: `one` for 1, else `many` with %1 as the number (the app
// ships no translations, so Qt's %n plurals would read "file(s)").
QString counted(uint64_t n, const char* one, const char* many) {
    return n == 1 ? TWRemovalSummary::tr(one) : TWRemovalSummary::tr(many).arg(qulonglong(n));
}

// At most this many paths are named in the text; the details list holds them all.
constexpr int kNamedPaths = 5;

QString namedPaths(const std::vector<std::string>& paths) {
    QStringList lines;
    for (size_t i = 0; i < paths.size() && i < size_t(kNamedPaths); ++i) lines << QString::fromStdString(paths[i]);
    if (paths.size() > size_t(kNamedPaths))
        lines << TWRemovalSummary::tr("…and %1 more.").arg(qulonglong(paths.size() - kNamedPaths));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

void TWRemovalSummary::setOpener(Opener open) {
    opener() = open ? std::move(open)
                    : [](const QString& uri, QWidget* parent) { TWFolderReveal::openPlace(uri.toStdString(), parent); };
}

QString TWRemovalSummary::headline(const TWRemovalOutcome& outcome) {
    const uint64_t files = outcome.disposedFiles;
    if (files == 0) return tr("No file was removed");
    switch (outcome.destType) {
        case TWDestTypeTrash:
            return counted(files, "1 file moved to the Trash", "%1 files moved to the Trash");
        case TWDestTypeMoveToFolder:
            return counted(files, "1 file moved to “%2”", "%1 files moved to “%2”")
                .replace(QStringLiteral("%2"), QFileInfo(QString::fromStdString(outcome.folder)).fileName());
        default:
            return counted(files, "1 file deleted", "%1 files deleted");
    }
}

QString TWRemovalSummary::placeUri(const TWRemovalOutcome& outcome) {
    if (outcome.disposedFiles == 0) return {};
    if (outcome.destType == TWDestTypeTrash) return QStringLiteral("trash:///");
    if (outcome.destType == TWDestTypeMoveToFolder)
        return QUrl::fromLocalFile(QString::fromStdString(outcome.folder)).toString();
    return {};
}

QString TWRemovalSummary::bodyText(const TWRemovalOutcome& outcome, const LeftFiles& left) const {
    QStringList parts;
    if (outcome.disposedFiles > 0) {
        const QString size = sizeText(outcome.disposedBytes);
        switch (outcome.destType) {
            case TWDestTypeTrash:
                parts << tr("%1 will be freed when the Trash is emptied.").arg(size);
                break;
            case TWDestTypeMoveToFolder:
                parts
                    << tr("%1 freed here; the files are now in %2.").arg(size, QString::fromStdString(outcome.folder));
                break;
            default:
                parts << tr("%1 freed.").arg(size);
                break;
        }
    }
    if (outcome.untracked > 0)
        parts << counted(outcome.untracked,
                         "1 of them cannot be put back from here: the Trash does not show where it keeps it.",
                         "%1 of them cannot be put back from here: the Trash does not show where it keeps them.");
    if (!left.headline.isEmpty()) parts << left.headline + QLatin1Char('\n') + left.informative;
    return parts.join(QStringLiteral("\n\n"));
}

TWRemovalSummary::TWRemovalSummary(const TWRemovalOutcome& outcome, const LeftFiles& left, QWidget* parent)
    : QDialog(parent), uri_(placeUri(outcome)) {
    setObjectName(QStringLiteral("removalSummary"));
    setWindowTitle(tr("Removal"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(10);
    headline_ = new QLabel(headline(outcome), this);
    headline_->setObjectName(QStringLiteral("removalSummaryHeadline"));
    headline_->setFont(TWAppStyle::designFont(17, true));
    headline_->setWordWrap(true);
    layout->addWidget(headline_);
    body_ = new QLabel(bodyText(outcome, left), this);
    body_->setWordWrap(true);
    body_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(body_);
    details_ = new QPlainTextEdit(left.details, this);
    details_->setReadOnly(true);
    details_->setVisible(!left.details.isEmpty());
    details_->setMaximumHeight(120);
    layout->addWidget(details_);

    // Close stays the default: Open and Undo never take Enter over by being clicked.
    auto* buttons = new QDialogButtonBox(this);
    if (!uri_.isEmpty()) {
        open_ = buttons->addButton(outcome.destType == TWDestTypeTrash ? tr("Open Trash") : tr("Open Folder"),
                                   QDialogButtonBox::ActionRole);
        open_->setAutoDefault(false);
        connect(open_, &QPushButton::clicked, this, [this] { opener()(uri_, this); });
    }
    if (!outcome.trashed.empty()) {
        undo_ = buttons->addButton(tr("Undo"), QDialogButtonBox::ActionRole);
        undo_->setAutoDefault(false);
        connect(undo_, &QPushButton::clicked, this, [this] {
            undo_->setEnabled(false);
            emit undoRequested();
        });
        // Ctrl+Z undoes wherever the focus is in the summary.
        undo_->setToolTip(tr("Put these files back where they were (%1)")
                              .arg(QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText)));
        auto* undoKey = new QShortcut(QKeySequence::Undo, this);
        connect(undoKey, &QShortcut::activated, this, [this] {
            if (undo_->isVisible() && undo_->isEnabled()) undo_->click();
        });
    }
    close_ = buttons->addButton(QDialogButtonBox::Close);
    close_->setDefault(true);
    close_->setFocus();
    layout->addWidget(buttons);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(420);
}

void TWRemovalSummary::present() {
    open();
    raise();
    activateWindow();
    // The progress window hides just before this shows, and under X the toolkit can be
    // left counting the hidden window, or the results window this one blocks, as active:
    // keys then go nowhere. The summary asks for activation again whenever such a window
    // holds it while the summary shows: on the next turn, when it loses activation, and
    // when the platform's focus moves.
    QTimer::singleShot(0, this, &TWRemovalSummary::reclaimActivation);
    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            [this] { QTimer::singleShot(0, this, &TWRemovalSummary::reclaimActivation); });
}

bool TWRemovalSummary::event(QEvent* event) {
    // Looked at once the change is complete: the newly active window is known then.
    if (event->type() == QEvent::WindowDeactivate) QTimer::singleShot(0, this, &TWRemovalSummary::reclaimActivation);
    return QDialog::event(event);
}

bool TWRemovalSummary::cannotTakeKeys(const QWidget* window) const {
    // A hidden window, or the window under this window-modal one.
    const QWidget* under = parentWidget() ? parentWidget()->window() : nullptr;
    return window && window != this && (!window->isVisible() || window == under);
}

void TWRemovalSummary::reclaimActivation() {
    if (!isVisible() || QApplication::activeWindow() == this) return;
    QWidget* active = QApplication::activeWindow();
    QWindow* focus = QGuiApplication::focusWindow();
    const QWidget* focusWidgetWindow = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (focus && top->windowHandle() == focus) focusWidgetWindow = top;
    if (!cannotTakeKeys(active) && !cannotTakeKeys(focusWidgetWindow)) return;
    raise();
    activateWindow();
    // The platform already focuses this window: no activation event will come to tell.
    if (focus && focus == windowHandle()) QApplication::setActiveWindow(this);
}

void TWRemovalSummary::showUndoResult(const TWTrashUndo::Result& result) {
    if (undo_) undo_->hide();
    const uint64_t restored = result.restored.size();
    headline_->setText(counted(restored, "1 file put back", "%1 files put back"));
    QStringList parts;
    if (restored > 0)
        parts << tr("They are in their folders again. The results are out of date: scan again to see them.");
    if (!result.nameTaken.empty())
        parts << counted(result.nameTaken.size(),
                         "1 file stayed in the Trash: a file of that name is in its place now.",
                         "%1 files stayed in the Trash: a file of that name is in their place now.") +
                     QLatin1Char('\n') + namedPaths(result.nameTaken);
    if (!result.failed.empty()) {
        std::vector<std::string> paths;
        for (const TWRemovalFailure& failure : result.failed) paths.push_back(failure.path);
        parts << counted(result.failed.size(), "1 file could not be put back: %2", "%1 files could not be put back: %2")
                         .replace(QStringLiteral("%2"), QString::fromStdString(result.failed.front().reason)) +
                     QLatin1Char('\n') + namedPaths(paths);
    }
    body_->setText(parts.join(QStringLiteral("\n\n")));
    QStringList lines;
    for (const std::string& path : result.nameTaken)
        lines << tr("%1: a file of that name is there now").arg(QString::fromStdString(path));
    for (const TWRemovalFailure& failure : result.failed)
        lines << QString::fromStdString(failure.path) + QStringLiteral(": ") + QString::fromStdString(failure.reason);
    details_->setPlainText(lines.join(QLatin1Char('\n')));
    details_->setVisible(!lines.isEmpty());
    close_->setFocus();
}
