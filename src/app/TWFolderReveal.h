#pragma once
// "Show in Folder" for the app: shows items in the desktop's file manager off the GUI
// thread, never through Twinsift itself (it opens folders too), and tells the user in a
// message box when no file manager answered. Safe from any thread; the message box
// opens on the main thread, over `parent` while it lives.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/Status.h"

class TWFolderReveal {
public:
    // Starts showing `paths`; returns at once.
    static void reveal(const std::vector<std::string>& paths, QWidget* parent);
    // Opens a place given by its URI (a folder, "trash:///") in the file manager the same
    // way: never in Twinsift, a message when nothing answers.
    static void openPlace(const std::string& uri, QWidget* parent);
    // The same, waiting for the outcome (the worker's body).
    static tw::Status revealNow(const std::vector<std::string>& paths);
    // The text of the message for a failure.
    static QString failureText(const std::vector<std::string>& paths, const tw::Status& status);
};
