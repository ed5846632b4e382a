#pragma once
// One item in a freedesktop.org Trash, found by its identity right after it was
// trashed, and put back from there through the Trash's own record of it (its
// .trashinfo file), so that an undo restores exactly the items one removal trashed.
// Plain values; every function is safe from any thread.

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/Status.h"

namespace tw {

class TrashEntry {
public:
    // Where the item was, as it was handed to the Trash.
    const std::string& originalPath() const { return originalPath_; }
    // The item inside the Trash's files folder, and the record in its info folder.
    const std::string& trashedPath() const { return trashedPath_; }
    const std::string& infoPath() const { return infoPath_; }

    // Finds the entry of the item that was at `originalPath` and is the file system
    // object (`device`, `inode`): a move into the Trash renames an item on its own file
    // system, so the trashed item keeps both. Looks in the home Trash and in the
    // per-volume Trash folders of the volume that held the item; the entry must record
    // `originalPath`. Nothing when no Trash holds it.
    static std::optional<TrashEntry> locate(const std::string& originalPath, dev_t device, ino_t inode);

    // Puts the item back where its record says it was, and drops the record. Refused,
    // and nothing moves, when the record no longer names this path or the trashed item
    // is gone or another one (error ENOENT), or when something of that name is at the
    // original place now (error EEXIST: it is never replaced). Missing folders on the way
    // back are created.
    Status restore() const;

    // The original path a .trashinfo text records, made absolute against the top
    // folder of its Trash (a per-volume Trash records paths relative to the volume).
    // Nothing when the text records no path.
    static std::optional<std::string> recordedPath(const std::string& infoText, const std::string& topFolder);

private:
    TrashEntry(std::string originalPath, std::string trashFolder, std::string topFolder, std::string name, dev_t device,
               ino_t inode);

    std::string originalPath_;
    std::string trashFolder_;  // the folder holding files/ and info/
    std::string topFolder_;    // what relative recorded paths start from; empty for the home Trash
    std::string trashedPath_;
    std::string infoPath_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace tw
