#pragma once
// The results a removal run works on: the results manager in the app and the command
// line (TWDuplicateFilesManager), or any list of category containers.

#include <cstdint>
#include <memory>
#include <vector>

#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFile.h"

class TWRemovalSource {
public:
    virtual ~TWRemovalSource() = default;

    // Main thread, at the start of a run.
    virtual uint64_t numberOfFilesCheckedToRemoved() = 0;
    virtual uint64_t sizeOfFilesCheckedToRemoved() = 0;
    // The containers in the order the walk visits them.
    virtual std::vector<std::shared_ptr<TWCategoryFiles>> allDuplicateFiles() = 0;

    // The run's worker thread: hands every checked file, container by container and
    // group by group, to `callback`, drops each from the results whatever the callback
    // did, and stops after the file for which the callback raised the stop flag.
    virtual void removeCheckedFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback) = 0;
};
