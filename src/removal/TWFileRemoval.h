#pragma once
// The three ways a checked file leaves the disk: to the Trash, deleted, or moved into a
// folder. The results browser and the removal run call these on the removal's worker
// thread; each works on one record's filePath and may take long (a move across file
// systems copies the file), so call them with no lock held that another thread waits on.
//
// Every failure is logged in one line with the path and the reason, and answered as a
// failed status, so that a run can count it. Safe from any thread.

#include <functional>
#include <optional>
#include <string>

#include "files/TWFileUtility.h"
#include "platform/Status.h"
#include "platform/TrashEntry.h"
#include "removal/TWFolderMove.h"

class TWFileRemoval {
public:
    // Moves the item to the desktop's Trash (a folder is trashed whole, a link itself).
    // `entry`, when given, is where it lies in the Trash (see tw::Trash::moveToTrash).
    static tw::Status removedFileToTrash(const TWFileUtility& file, std::optional<tw::TrashEntry>* entry = nullptr);
    // Deletes the item permanently; a folder (a package) with everything inside it,
    // never following a link out of it.
    static tw::Status removedFileDirect(const TWFileUtility& file);
    // The same, only while the item is still the one `isStill` accepts: it is first given
    // a private name in its own folder, judged there (`isStill` gets that path; nobody
    // else looks for the item under it), and only then deleted. Judged otherwise, it gets
    // its name back and stays; if that name was taken meanwhile, it stays under the
    // private name, which the failure names.
    using IsStill = std::function<bool(const std::string& privatePath)>;
    static tw::Status removedFileDirect(const TWFileUtility& file, const IsStill& isStill);
    // Moves the item into `folder` under a free name (TWFolderMove), creating the folder
    // with its parents when nothing is there. An empty folder path moves nothing.
    static tw::Status moveFile(const TWFileUtility& file, const std::string& folder,
                               const TWFolderMove::Options& options = TWFolderMove::Options{});
};
