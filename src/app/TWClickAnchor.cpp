#include "app/TWClickAnchor.h"

#include "app/TWClickSelection.h"
#include "model/TWFilesListManager.h"

TWClickAnchor& TWClickAnchor::shared() {
    static TWClickAnchor anchor;
    return anchor;
}

TWClickAnchor::TWClickAnchor()
    : observer_(tw::NotificationCenter::defaultCenter().addObserver(
          TWDuplicateSingleFileSelectionChangedNotification, [this](const tw::Notification&) { selectionChanged(); })),
      previous_(TWFilesListManager::shareFilesListManager().selection()) {}

void TWClickAnchor::click(int row, Qt::KeyboardModifiers modifiers) {
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    const bool extend = (modifiers & Qt::ShiftModifier) && anchor_ >= 0;
    auto selection = TWClickSelection(files.selection(), anchor_, row, modifiers);
    if (!extend) anchor_ = row;
    clicking_ = true;
    files.setSelection(selection);
    clicking_ = false;
    previous_ = std::move(selection);
}

void TWClickAnchor::selectionChanged() {
    if (clicking_) return;
    const auto current = TWFilesListManager::shareFilesListManager().selection();
    std::set<size_t> added;
    for (size_t row : current)
        if (!previous_.count(row)) added.insert(row);
    if (current.empty())
        anchor_ = -1;
    else if (current.size() == 1)
        anchor_ = int(*current.begin());
    else if (!added.empty())
        anchor_ = int(*added.rbegin());
    else if (anchor_ < 0 || !current.count(size_t(anchor_)))
        anchor_ = int(*current.rbegin());
    previous_ = current;
}
