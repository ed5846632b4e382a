// A sub-group keeps its parent alive and the parent caches its sub-groups; a result
// that the next scan replaces must still be freed whole. Checked here by weak
// references and, in the AddressSanitizer build, by LeakSanitizer itself.

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define TW_HAS_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define TW_HAS_LSAN 1
#endif
#endif

#include "GroupTestSupport.h"
#include "TestSupport.h"
#include "model/TWCategoryFiles.h"

using namespace grouptest;

namespace {

struct Watched {
    std::vector<std::weak_ptr<TWDuplicateFile>> groups;
    std::vector<std::weak_ptr<TWFileUtility>> files;
    std::weak_ptr<TWCategoryFiles> container;
};

// Builds a category of exact and similar groups, opens the exact-only views and works
// on the sub-groups the way the views do, then lets everything go but the watchers.
Watched buildEditAndDrop(const twtest::TempDir& dir) {
    Watched watched;
    auto images = TWCategoryFiles::initWithCategory(TWCategory_images);
    watched.container = images;
    for (int g = 0; g < 4; ++g) {
        const std::string pixels = twtest::randomBytes(700, static_cast<unsigned>(g));
        std::vector<FilePtr> files;
        for (int i = 0; i < 5; ++i) {
            const std::string name = "g" + std::to_string(g) + "/" + std::to_string(i) + ".jpg";
            // Pairs of identical images make two sub-groups per similar group.
            files.push_back(i < 4 ? fileWith(dir, name, i % 2 ? pixels : pixels + "x")
                                  : fileOfSize(dir, name, 700, 100 + g));
        }
        auto group = groupOf(files, g % 2 == 0);
        images->addDuplicateFile(group);
        watched.groups.push_back(group);
        for (const FilePtr& f : files) watched.files.push_back(f);
    }

    auto view = images->duplicateFilesExcludingSimilar();
    EXPECT_GT(view.size(), 4u);
    for (const auto& group : view) {
        watched.groups.push_back(group);
        group->smartCheckedByMethod(TWCheckMethodSmartName);
        group->setChecked(true, 0);
    }
    // A sub-group that outlives its listing, as a row of the file list would hold it.
    TWDuplicateFile::Ptr heldRow;
    for (const auto& group : view) {
        if (group->parentSimilarGroup()) heldRow = group;
    }
    EXPECT_TRUE(heldRow);
    view.front()->hideFileUnitility(view.front()->firstFile());
    images->isCancelledRemoveCheckFilesUsingBlock([](const FilePtr&, bool& stop) { stop = false; });
    // Views built again after the removal discarded the caches.
    for (const auto& group : images->duplicateFilesExcludingSimilar()) watched.groups.push_back(group);
    images->resetCache();
    return watched;
}

TEST(GroupLifetimeTest, ReplacedResultsWithSubgroupsAreFreedWhole) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    Watched watched = buildEditAndDrop(dir);

    EXPECT_TRUE(watched.container.expired());
    for (const auto& group : watched.groups) EXPECT_TRUE(group.expired());
    for (const auto& file : watched.files) EXPECT_TRUE(file.expired());
#ifdef TW_HAS_LSAN
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

TEST(GroupLifetimeTest, ASubgroupKeepsItsParentAlive) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir dir;
    const std::string pixels = twtest::randomBytes(300, 1);
    auto similar = groupOf({fileWith(dir, "a.png", pixels), fileWith(dir, "b.png", pixels)}, true);
    std::weak_ptr<TWDuplicateFile> parent = similar;
    auto sub = similar->duplicateFilesExcludingSimilar().at(0);
    similar.reset();
    ASSERT_FALSE(parent.expired());
    sub->setChecked(true, 1);
    EXPECT_EQ(parent.lock()->numberOfChecked(), 1u);
    sub.reset();
    EXPECT_TRUE(parent.expired());
}

}  // namespace
