#include "app/TWFileActions.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

#include "app/TWArtwork.h"
#include "app/TWBrowserNotifications.h"
#include "model/TWFilesListManager.h"
#include "platform/NotificationCenter.h"

namespace {

TWFileActions::Opener& opener() {
    static TWFileActions::Opener open;
    return open;
}

TWFilesListManager& files() {
    return TWFilesListManager::shareFilesListManager();
}

// Whether checking or unchecking the row changes its mark.
bool changes(size_t row, bool checked) {
    const auto file = files().fileItemAtIndex(row);
    if (!file || file->isChecked() == checked) return false;
    return !(checked && file->refusesRemoval());
}

QString pathOf(size_t row) {
    const auto file = files().fileItemAtIndex(row);
    return file ? QString::fromStdString(file->filePath()) : QString();
}

}  // namespace

bool TWFileActions::toggleCheckOfSelection() {
    const Rows rows = files().selection();
    return setChecked(rows, canSetChecked(rows, true));
}

bool TWFileActions::canSetChecked(const Rows& rows, bool checked) {
    for (size_t row : rows)
        if (changes(row, checked)) return true;
    return false;
}

bool TWFileActions::setChecked(const Rows& rows, bool checked) {
    bool changed = false;
    for (size_t row : rows)
        if (changes(row, checked)) changed |= files().checkedFileItem(checked, row);
    if (changed) tw::NotificationCenter::defaultCenter().post(TWFilesCheckDidChangedNotification);
    return changed;
}

size_t TWFileActions::ignore(const Rows& rows) {
    size_t ignored = 0;
    // From the last row: each ignored row leaves the list, the ones before it stay put.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        if (files().ignoreFileItemAtIndex(*row)) ++ignored;
    if (ignored > 0) {
        files().setSelection({});
        tw::NotificationCenter::defaultCenter().post(TWFilesIgnoredChangedNotification);
    }
    return ignored;
}

void TWFileActions::showInFolder(size_t row) {
    files().showInFinderFileItemAtIndex(row);
}

void TWFileActions::open(size_t row, QWidget* parent) {
    const QString path = pathOf(row);
    if (path.isEmpty()) return;
    const bool opened = opener() ? opener()(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (!opened)
        QMessageBox::warning(parent, QObject::tr("Open"), QObject::tr("No application could open \"%1\".").arg(path));
}

void TWFileActions::copyPaths(const Rows& rows) {
    QStringList paths;
    for (size_t row : rows)
        if (QString path = pathOf(row); !path.isEmpty()) paths << path;
    if (!paths.isEmpty()) QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void TWFileActions::setOpener(Opener open) {
    opener() = std::move(open);
}

QMenu* TWFileActions::fileMenu(size_t row, QWidget* parent, std::function<void()> changed) {
    if (!files().selection().count(row)) files().setSelection({row});
    const Rows rows = files().selection();
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("fileMenu"));
    const size_t first = *rows.begin();
    QAction* open = menu->addAction(QObject::tr("Open"), menu, [first, parent] { TWFileActions::open(first, parent); });
    open->setEnabled(rows.size() == 1);
    menu->addAction(TWArtwork::icon(QStringLiteral("openInFinder")), QObject::tr("Show in Folder"), menu,
                    [first] { showInFolder(first); });
    menu->addSeparator();
    QAction* check = menu->addAction(QObject::tr("Check"), menu, [rows, changed] {
        if (setChecked(rows, true) && changed) changed();
    });
    check->setEnabled(canSetChecked(rows, true));
    QAction* uncheck = menu->addAction(QObject::tr("Uncheck"), menu, [rows, changed] {
        if (setChecked(rows, false) && changed) changed();
    });
    uncheck->setEnabled(canSetChecked(rows, false));
    menu->addAction(QObject::tr("Ignore"), menu, [rows, changed] {
        if (ignore(rows) > 0 && changed) changed();
    });
    menu->addSeparator();
    menu->addAction(QObject::tr("Copy Path"), menu, [rows] { copyPaths(rows); });
    return menu;
}
