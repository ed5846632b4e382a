#pragma once
// How a click changes a selection of file rows, as the icon and compare views share it:
// Shift extends from the anchor (the last item clicked), Ctrl adds, a plain click
// replaces.

#include <Qt>
#include <algorithm>
#include <set>

inline std::set<size_t> TWClickSelection(std::set<size_t> selection, int anchor, int index,
                                         Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ShiftModifier && anchor >= 0) {
        for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i) selection.insert(size_t(i));
    } else if (modifiers & Qt::ControlModifier) {
        selection.insert(size_t(index));
    } else {
        selection = {size_t(index)};
    }
    return selection;
}
