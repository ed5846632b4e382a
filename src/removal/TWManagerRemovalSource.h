#pragma once
// The results manager as the source of a removal run: what the app's Delete and the
// command line's removal both walk.

#include "model/TWDuplicateFilesManager.h"
#include "removal/TWRemovalSource.h"

class TWManagerRemovalSource : public TWRemovalSource {
public:
    explicit TWManagerRemovalSource(TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared())
        : manager_(manager) {}

    uint64_t numberOfFilesCheckedToRemoved() override { return manager_.numberOfFilesCheckedToRemoved(); }
    uint64_t sizeOfFilesCheckedToRemoved() override { return manager_.sizeOfFilesCheckedToRemoved(); }
    std::vector<std::shared_ptr<TWCategoryFiles>> allDuplicateFiles() override { return manager_.allDuplicateFiles(); }
    void removeCheckedFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback) override {
        manager_.removeCheckedFilesUsingBlock(callback);
    }

private:
    TWDuplicateFilesManager& manager_;
};
