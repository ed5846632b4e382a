#pragma once
// Notifications the results browser's views post (with no object, on the main thread)
// and the browser observes. The file list's own selection notice is declared with
// TWFilesListManager.

// The group list changed the results manager's selection, search text, sort or filter.
inline constexpr const char* TWDuplicateFilesSelectionChangedNotification =
    "TWDuplicateFilesSelectionChangedNotification";
// A click in the file list, the icon view or the compare view changed a file's mark.
inline constexpr const char* TWFilesCheckDidChangedNotification = "TWFilesCheckDidChangedNotification";
// The file list or the compare view ignored a file.
inline constexpr const char* TWFilesIgnoredChangedNotification = "TWFilesIgnoredChangedNotification";
