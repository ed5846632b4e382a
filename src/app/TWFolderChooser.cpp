#include "app/TWFolderChooser.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QSortFilterProxyModel>
#include <QTreeView>

#include "files/TWFileUtility.h"
#include "prefs/TWPreference.h"

namespace {

// Hides packages from the chooser while they are skipped.
class PackageFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!model) return true;
        QModelIndex index = model->index(row, 0, parent);
        return !(model->isDir(index) && TWFileUtility::isPackageName(model->filePath(index).toStdString()));
    }
};

}  // namespace

bool TWFolderChooser::keepsPath(const std::string& path, bool skipPackages) {
    return !(skipPackages && TWFileUtility::isPackageName(path));
}

QFileDialog* TWFolderChooser::open(QWidget* parent, Completion done) {
    auto* dialog = new QFileDialog(parent, QObject::tr("Choose Folders to Scan"), QDir::homePath());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    // The built-in dialog, because only it lets several folders be chosen at once.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setLabelText(QFileDialog::Accept, QObject::tr("Add"));
    bool skipPackages = TWPreference::shared().filterPackage();
    if (skipPackages) dialog->setProxyModel(new PackageFilter(dialog));
    for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
        if (qobject_cast<QListView*>(view) || qobject_cast<QTreeView*>(view)) {
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
    }
    QObject::connect(dialog, &QFileDialog::filesSelected, dialog, [done, skipPackages](const QStringList& files) {
        std::vector<std::string> folders;
        for (const QString& file : files) {
            std::string path = QDir::cleanPath(file).toStdString();
            if (QFileInfo(file).isDir() && keepsPath(path, skipPackages)) folders.push_back(path);
        }
        if (done) done(folders);
    });
    dialog->open();
    return dialog;
}
