#include "app/TWBrowserKeyboard.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QToolButton>

#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWFileActions.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"

namespace {

QWidget* viewportOf(QWidget* view) {
    auto* area = qobject_cast<QAbstractScrollArea*>(view);
    return area ? area->viewport() : nullptr;
}

// The widget and its descendants that Tab may reach, in creation order.
void appendTabStops(QWidget* widget, std::vector<QWidget*>& chain) {
    if (widget->focusPolicy() & Qt::TabFocus) chain.push_back(widget);
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) appendTabStops(child, chain);
}

}  // namespace

TWBrowserKeyboard::TWBrowserKeyboard(TWBrowserResoultViewCtrl* browser) : QObject(browser), browser_(browser) {
    QWidget* view = browser->view();
    auto* remove = new QShortcut(QKeySequence(Qt::Key_Delete), view);
    remove->setContext(Qt::WindowShortcut);
    connect(remove, &QShortcut::activated, this, &TWBrowserKeyboard::deleteChecked);
    auto* find = new QShortcut(QKeySequence::Find, view);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &TWBrowserKeyboard::focusSearch);
    TWDuplicateFilesViewCtrl::shared()->searchField()->installEventFilter(this);

    QListView* groups = TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView();
    groups->viewport()->installEventFilter(this);
    groups->installEventFilter(this);
    view->installEventFilter(this);
}

void TWBrowserKeyboard::watchFileView(QWidget* view, RowAt rowAt, std::function<void()> refresh) {
    if (fileViewOf(view)) return;
    fileViews_.push_back({view, std::move(rowAt), std::move(refresh)});
    view->installEventFilter(this);
    if (QWidget* viewport = viewportOf(view)) viewport->installEventFilter(this);
}

const TWBrowserKeyboard::FileView* TWBrowserKeyboard::fileViewOf(QObject* watched) const {
    for (const FileView& entry : fileViews_)
        if (watched == entry.view || watched == viewportOf(entry.view)) return &entry;
    return nullptr;
}

void TWBrowserKeyboard::updateTabOrder() {
    std::vector<QWidget*> chain;
    appendTabStops(browser_->toolBar(), chain);
    appendTabStops(browser_->duplicateFilesView(), chain);
    appendTabStops(browser_->detailFilesView(), chain);
    appendTabStops(browser_->btnDelete()->parentWidget(), chain);
    for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

bool TWBrowserKeyboard::eventFilter(QObject* watched, QEvent* event) {
    QListView* groups = TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView();
    if (watched == browser_->view() && event->type() == QEvent::Show) {
        focusGroupsUnlessInside();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == TWDuplicateFilesViewCtrl::shared()->searchField() && key->key() == Qt::Key_Escape &&
            key->modifiers() == Qt::NoModifier)
            return clearSearch();
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            if (const FileView* entry = fileViewOf(watched)) {
                if (TWFileActions::toggleCheckOfSelection() && entry->refresh) entry->refresh();
                return true;  // a refused check stays refused, as with the check box
            }
        }
        return false;
    }
    if (event->type() != QEvent::ContextMenu) return false;
    auto* request = static_cast<QContextMenuEvent*>(event);
    QWidget* widget = static_cast<QWidget*>(watched);
    // From the keyboard the menu acts where the selection is, shown at the view's centre.
    const bool byKey = request->reason() == QContextMenuEvent::Keyboard;
    QWidget* area = viewportOf(widget) ? viewportOf(widget) : widget;
    const QPoint point = byKey ? area->rect().center() : area->mapFrom(widget, request->pos());
    QMenu* menu = nullptr;
    if (watched == groups || watched == groups->viewport()) {
        int row = groups->indexAt(point).row();
        if (byKey) {
            const auto selection = TWDuplicateFilesManager::shared().selection();
            row = selection.empty() ? -1 : int(*selection.begin());
        }
        menu = row >= 0 ? groupMenu(row, groups) : nullptr;
    } else if (const FileView* entry = fileViewOf(watched)) {
        if (byKey) {
            const auto selection = TWFilesListManager::shareFilesListManager().selection();
            if (!selection.empty())
                menu = TWFileActions::fileMenu(*selection.begin(), entry->view, [this] { reloadDetail(); });
        } else {
            menu = fileMenuAt(entry->view, point);
        }
    } else {
        return false;
    }
    if (menu) popUp(menu, area->mapToGlobal(point));
    return true;
}

QMenu* TWBrowserKeyboard::fileMenuAt(QWidget* view, const QPoint& point) {
    const FileView* entry = fileViewOf(view);
    if (!entry) return nullptr;
    const int row = entry->rowAt(point);
    if (row < 0) return nullptr;
    QMenu* menu = TWFileActions::fileMenu(size_t(row), entry->view, [this] { reloadDetail(); });
    // The row may have become the selection: show it so.
    if (entry->refresh) entry->refresh();
    return menu;
}

QMenu* TWBrowserKeyboard::groupMenu(int row, QWidget* parent) {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    if (!manager.selection().count(size_t(row))) {
        manager.setSelection({size_t(row)});
        browser_->updateDuplicateFilesState();
        browser_->updateDetailFilesState();
    }
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("groupMenu"));
    QMenu* rules = menu->addMenu(tr("Check by Rule"));
    rules->setObjectName(QStringLiteral("checkByRuleMenu"));
    // The rules of the Smart Select menu, those that apply to the selected groups, on
    // those groups whatever the Smart Select menu acts on.
    browser_->updateSmartCheckMenuItemsFor(false);
    for (QAction* rule : browser_->smartCheckMenu()->actions()) {
        const int tag = rule->data().toInt();
        if (rule->isSeparator() || rule->isCheckable() || !rule->isVisible() ||
            tag == TWBrowserResoultViewCtrl::kUncheckAllTag)
            continue;
        rules->addAction(rule->text(), this, [this, tag] { browser_->applySmartRule(tag, false); });
    }
    menu->addAction(tr("Uncheck All"), this,
                    [this] { browser_->applySmartRule(TWBrowserResoultViewCtrl::kUncheckAllTag, false); });
    menu->addSeparator();
    menu->addAction(tr("Ignore Group"), this, &TWBrowserKeyboard::ignoreSelectedGroups);
    return menu;
}

void TWBrowserKeyboard::ignoreSelectedGroups() {
    // The file list holds every file of the selected groups.
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    TWFileActions::Rows rows;
    for (size_t row = 0, count = files.numberOfFilesItem(); row < count; ++row) rows.insert(rows.end(), row);
    TWFileActions::ignore(rows);
}

void TWBrowserKeyboard::reloadDetail() {
    browser_->updateDetailFilesState();
}

void TWBrowserKeyboard::popUp(QMenu* menu, const QPoint& globalPosition) {
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void TWBrowserKeyboard::focusGroupsUnlessInside() {
    // A new result starts at the group list: never on a control the user did not go to,
    // least of all Delete.
    QWidget* focus = browser_->view()->window()->focusWidget();
    if (focus && focus != browser_->btnDelete() && browser_->view()->isAncestorOf(focus)) return;
    TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView()->setFocus(Qt::OtherFocusReason);
}

void TWBrowserKeyboard::deleteChecked() {
    // As the button does, and only when it could be pressed.
    QPushButton* button = browser_->btnDelete();
    if (button->isEnabled() && button->isVisible()) browser_->deleteDuplicateFile();
}

void TWBrowserKeyboard::focusSearch() {
    QLineEdit* field = TWDuplicateFilesViewCtrl::shared()->searchField();
    if (!field->isVisible()) return;  // the scan view or the overview shows
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

bool TWBrowserKeyboard::clearSearch() {
    QLineEdit* field = TWDuplicateFilesViewCtrl::shared()->searchField();
    if (field->text().isEmpty()) return false;  // Escape goes on (full screen ends)
    field->clear();
    return true;
}
