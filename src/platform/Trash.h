#pragma once
// Moving items to the desktop's Trash (the freedesktop.org Trash: the home trash for
// items on the home file system, a per-volume trash folder for others).
// Safe from any thread.

#include <optional>
#include <string>

#include "platform/Status.h"
#include "platform/TrashEntry.h"

namespace tw {

class Trash {
public:
    // Moves the item at `path` to the Trash. A symbolic link is trashed itself, never
    // the item it points to. On failure the status carries the path and GIO's message.
    static Status moveToTrash(const std::string& path);
    // The same, and on success `entry` tells where the item lies in the Trash, so that it
    // can be put back; it stays empty when no Trash folder shows the item afterwards.
    static Status moveToTrash(const std::string& path, std::optional<TrashEntry>* entry);
    // Whether moveToTrash can take the item: false when GIO says it cannot, chiefly for
    // an item on a volume without a usable Trash folder (nor one that can be made) or in
    // a folder it may not change. True when GIO cannot tell (a missing item), so that
    // only a known refusal is announced; moveToTrash itself still reports each failure.
    static bool canTrash(const std::string& path);
};

}  // namespace tw
