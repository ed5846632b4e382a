#include "app/TWPreferenceChooser.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QListView>
#include <QTreeView>

#include "app/TWPreferencesWndTitleBarViewCtrl.h"

namespace {

// The built-in dialog picks files or folders, never both; this one takes whatever is
// selected in its views when OK is pressed, so that a folder can be chosen without
// being entered.
class FilesAndFoldersDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    TWPreferenceChooser::Completion done;

protected:
    void accept() override {
        QStringList chosen;
        for (auto* view : findChildren<QAbstractItemView*>()) {
            if (!view->isVisible() || !view->selectionModel()) continue;
            for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
                QString path = index.data(QFileSystemModel::FilePathRole).toString();
                if (!path.isEmpty() && !chosen.contains(path)) chosen.append(path);
            }
        }
        // A name typed into the field, when nothing is selected in the views.
        if (chosen.isEmpty()) {
            for (const QString& file : selectedFiles()) {
                if (QFileInfo::exists(file)) chosen.append(file);
            }
        }
        if (chosen.isEmpty()) return;
        std::vector<std::string> paths;
        for (const QString& path : chosen) paths.push_back(QDir::cleanPath(path).toStdString());
        QDialog::accept();
        if (done) done(paths);
    }
};

void prepare(QFileDialog* dialog, QWidget* parent) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    // The built-in dialog: only it lets several items be chosen at once.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->resize(640, 420);
    if (parent) dialog->move(TWPreferenceChooser::sheetPosition(parent->window(), dialog->size()));
}

void allowSeveral(QFileDialog* dialog) {
    for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
        if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view)) {
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
    }
}

std::vector<std::string> cleanPaths(const QStringList& files, bool foldersOnly) {
    std::vector<std::string> paths;
    for (const QString& file : files) {
        if (foldersOnly && !QFileInfo(file).isDir()) continue;
        paths.push_back(QDir::cleanPath(file).toStdString());
    }
    return paths;
}

}  // namespace

QPoint TWPreferenceChooser::sheetPosition(const QWidget* window, const QSize& chooserSize) {
    QRect frame = window->frameGeometry();
    return QPoint(frame.x() + (frame.width() - chooserSize.width()) / 2,
                  frame.y() + TWPreferencesWndTitleBarViewCtrl::kHeight);
}

QFileDialog* TWPreferenceChooser::chooseFilesAndFolders(QWidget* parent, Completion done) {
    auto* dialog =
        new FilesAndFoldersDialog(parent, QObject::tr("Choose Files and Folders to Ignore"), QDir::homePath());
    dialog->done = std::move(done);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setLabelText(QFileDialog::Accept, QObject::tr("Select"));
    prepare(dialog, parent);
    allowSeveral(dialog);
    dialog->open();
    return dialog;
}

QFileDialog* TWPreferenceChooser::choosePrivilegeFolders(QWidget* parent, Completion done) {
    auto* dialog = new QFileDialog(parent, QObject::tr("Choose Privileged Folders"), QDir::homePath());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setLabelText(QFileDialog::Accept, QObject::tr("Add"));
    prepare(dialog, parent);
    allowSeveral(dialog);
    QObject::connect(dialog, &QFileDialog::filesSelected, dialog, [done](const QStringList& files) {
        auto folders = cleanPaths(files, true);
        if (done && !folders.empty()) done(folders);
    });
    dialog->open();
    return dialog;
}

QFileDialog* TWPreferenceChooser::chooseLibraryFolder(QWidget* parent, const QString& title, const std::string& current,
                                                      Completion done) {
    QString start = QString::fromStdString(current);
    QFileInfo info(start);
    QString folder = info.isDir() ? info.absolutePath() : QDir::homePath();
    auto* dialog = new QFileDialog(parent, title, folder);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setOption(QFileDialog::ReadOnly, true);  // no New Folder
    dialog->setLabelText(QFileDialog::Accept, QObject::tr("Choose"));
    if (info.isDir()) dialog->selectFile(start);
    prepare(dialog, parent);
    QObject::connect(dialog, &QFileDialog::filesSelected, dialog, [done](const QStringList& files) {
        auto folders = cleanPaths(files, true);
        if (done && !folders.empty()) done({folders.front()});
    });
    dialog->open();
    return dialog;
}
