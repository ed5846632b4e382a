#pragma once
// One row of the flattened file list: a file record, the group that held it when the
// row was made, and whether it was that group's first member then. Immutable after
// creation, so safe from any thread. The row holds the record and the group, which
// stay valid as long as the row exists, also after the result they came from was
// replaced.

#include <memory>

#include "files/TWFileUtility.h"
#include "model/TWDuplicateFile.h"

class TWFileUtilityMgr {
public:
    using FilePtr = std::shared_ptr<TWFileUtility>;
    using GroupPtr = TWDuplicateFile::Ptr;

    // A row for `file` in `group`; isFirst asks the group for the record's position now.
    // Either may be null (isFirst is then false).
    static std::shared_ptr<TWFileUtilityMgr> initWithFileUtility(FilePtr file, GroupPtr group);

    // A row whose position is already known (the list builder reads the members once).
    TWFileUtilityMgr(FilePtr file, GroupPtr group, bool isFirst)
        : fileUtility_(std::move(file)), duplicateFile_(std::move(group)), isFirst_(isFirst) {}

    const FilePtr& fileUtility() const { return fileUtility_; }
    const GroupPtr& duplicateFile() const { return duplicateFile_; }
    bool isFirst() const { return isFirst_; }

private:
    const FilePtr fileUtility_;
    const GroupPtr duplicateFile_;
    const bool isFirst_;
};
