#pragma once
// Undo of a removal to the Trash: puts back exactly the items that removal trashed,
// each through its Trash record (tw::TrashEntry), and tells which could not go back.
// Plain function of its input; safe from any thread (it renames, so call it where a
// short wait on the disk does no harm).

#include <string>
#include <vector>

#include "removal/TWRemovalProgress.h"

class TWTrashUndo {
public:
    struct Result {
        std::vector<std::string> restored;  // the original paths, back in place
        uint64_t restoredBytes = 0;
        // Left in the Trash: a file of that name is at the place now (never replaced).
        std::vector<std::string> nameTaken;
        // Left for another reason (no longer in the Trash, a folder that cannot be made).
        std::vector<TWRemovalFailure> failed;
        size_t refusedCount() const { return nameTaken.size() + failed.size(); }
    };
    static Result restore(const std::vector<TWTrashedFile>& files);
};
