#pragma once
// The items of the application menu, by the operation they run. The application
// delegate builds the menu; a window that answers some items itself (the preferences
// window's Select All) validates them by the same values without knowing the delegate.

enum class TWMenuAction {
    openFolder,
    clearAction,
    selectAll,
    showPreferences,
    aboutWindow,
    showHelp,
    quit,
};
