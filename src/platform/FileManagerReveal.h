#pragma once
// Showing items in the desktop's file manager: the session bus's
// org.freedesktop.FileManager1.ShowItems, or, when no bus or no file manager answers
// there, the default application for each containing folder.
// Safe from any thread; reveal() blocks for at most a few seconds (the bus call).

#include <functional>
#include <string>
#include <vector>

#include "Status.h"

namespace tw {

class FileManagerReveal {
public:
    // Opens a folder given by its URI with the desktop's default application.
    using FolderOpener = std::function<Status(const std::string& folderUri)>;

    struct Options {
        // The session bus to ask; empty means DBUS_SESSION_BUS_ADDRESS, else
        // $XDG_RUNTIME_DIR/bus (never an auto-launched bus).
        std::string busAddress;
        FolderOpener opener;  // empty: openWithDefaultApp(uri, excludedAppIds)
        // Desktop ids the fallback never launches (an app that may open folders itself,
        // such as the one asking), for instance "org.twinsift.Twinsift.desktop".
        std::vector<std::string> excludedAppIds;
        int timeoutMs = 5000;
    };

    FileManagerReveal() = default;
    explicit FileManagerReveal(Options options) : options_(std::move(options)) {}

    // Shows `paths` (relative ones against the working folder). Nothing to show is a
    // success. The fallback opens every distinct containing folder once; its status is
    // the first failure, if any.
    Status reveal(const std::vector<std::string>& paths) const;

    // The D-Bus attempt alone: success when a file manager accepted the items.
    Status showItems(const std::vector<std::string>& uris) const;
    // Opens the folder with the default application for folders, or, when that is one
    // of `excluded`, with the first other application that opens folders; fails with
    // "No file manager is installed" when there is none.
    static Status openWithDefaultApp(const std::string& folderUri, const std::vector<std::string>& excluded = {});

private:
    Options options_;
};

}  // namespace tw
