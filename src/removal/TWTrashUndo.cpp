#include "removal/TWTrashUndo.h"

#include <cerrno>

TWTrashUndo::Result TWTrashUndo::restore(const std::vector<TWTrashedFile>& files) {
    Result result;
    for (const TWTrashedFile& file : files) {
        const tw::TrashEntry& entry = file.entry;
        const tw::Status status = entry.restore();
        if (status) {
            result.restored.push_back(entry.originalPath());
            result.restoredBytes += file.size;
        } else if (status.error == EEXIST) {
            result.nameTaken.push_back(entry.originalPath());
        } else {
            result.failed.push_back({entry.originalPath(), status.reason});
        }
    }
    return result;
}
