#pragma once
// Results built from real files for the results-manager and file-list suites, and a
// fixture that gives every test fresh singletons, a private settings store and the
// calling thread as the main thread.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GroupTestSupport.h"
#include "TestSupport.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"
#include "platform/MainQueue.h"

namespace resultstest {

using grouptest::FilePtr;
using GroupPtr = TWDuplicateFile::Ptr;
using ContainerPtr = TWCategoryFiles::Ptr;

// Counts the delegate calls of the results manager.
struct RecordingDelegate : TWDuplicateFilesManagerDelegate {
    void TWDuplicateFilesManagerSelectionDidChanged(TWDuplicateFilesManager& manager) override {
        ++calls;
        lastManager = &manager;
    }
    int calls = 0;
    TWDuplicateFilesManager* lastManager = nullptr;
};

class ResultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tw::MainQueue::shared().adoptCurrentThread();
        TWDuplicateFilesManager::resetShared();
        TWFilesListManager::resetShareFilesListManager();
    }
    void TearDown() override {
        TWFilesListManager::resetShareFilesListManager();
        TWDuplicateFilesManager::resetShared();
    }

    TWDuplicateFilesManager& manager() { return TWDuplicateFilesManager::shared(); }
    TWFilesListManager& filesList() { return TWFilesListManager::shareFilesListManager(); }

    // An exact group of `count` distinct files "<name>.<ext>", "<name>-1.<ext>", ... of
    // `size` bytes each (an exact group does not look at content).
    GroupPtr exactGroup(const std::string& name, size_t count, size_t size = 10, const std::string& ext = "txt") {
        std::vector<FilePtr> files;
        for (size_t i = 0; i < count; ++i) {
            const std::string file = (i == 0 ? name : name + "-" + std::to_string(i)) + "." + ext;
            files.push_back(grouptest::fileOfSize(dir_, std::to_string(serial_++) + "/" + file, size, unsigned(i)));
        }
        return grouptest::groupOf(files);
    }

    // A similar group of three images of which the first two are byte-identical.
    GroupPtr similarGroupWithOnePair(const std::string& name) {
        const std::string folder = std::to_string(serial_++) + "/";
        const std::string same = twtest::randomBytes(3000, 7);
        return grouptest::groupOf(
            {grouptest::fileWith(dir_, folder + name + ".jpg", same),
             grouptest::fileWith(dir_, folder + name + "-copy.jpg", same),
             grouptest::fileWith(dir_, folder + name + "-other.jpg", twtest::randomBytes(3000, 8))},
            true);
    }

    static ContainerPtr containerOf(TWCategory category, const std::vector<GroupPtr>& groups) {
        ContainerPtr container = TWCategoryFiles::initWithCategory(category);
        for (const GroupPtr& group : groups) container->addDuplicateFile(group);
        return container;
    }

    twtest::ScopedDefaults defaults_;
    twtest::TempDir dir_;
    unsigned serial_ = 0;
};

}  // namespace resultstest
