#pragma once
// The item a Shift-click extends from in the icon and compare views: the item the last
// plain or Ctrl click chose in either view, or, when the file selection changed by
// other means since (keys, the file list, another group), the item that change added
// last. Shift extends from it, Ctrl adds, a plain click replaces (TWClickSelection).
// Main thread only.

#include <Qt>
#include <set>

#include "platform/NotificationCenter.h"

class TWClickAnchor {
public:
    static TWClickAnchor& shared();

    // The anchor row, or -1 when nothing is selected.
    int anchor() const { return anchor_; }
    // Applies a selecting click on `row` to the file list's selection.
    void click(int row, Qt::KeyboardModifiers modifiers);

private:
    TWClickAnchor();
    void selectionChanged();

    tw::NotificationCenter::Observer observer_;
    std::set<size_t> previous_;
    int anchor_ = -1;
    bool clicking_ = false;
};
