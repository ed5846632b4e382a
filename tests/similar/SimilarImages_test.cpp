#include <gtest/gtest.h>
#include <stdlib.h>

#include "HistogramFixtures.h"
#include "TestSupport.h"
#include "similar/ZPSimilarImages.h"

namespace {

// GIO reads XDG_DATA_HOME once per process: trashed files go to this suite's own home
// trash, on the same file system as the test trees.
class DataHomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<twtest::TempDir>("twinsift-similar-data");
        setenv("XDG_DATA_HOME", dir_->path().c_str(), 1);
    }
    void TearDown() override { dir_.reset(); }
    std::string trashed(const std::string& name) const { return dir_->path() + "/Trash/files/" + name; }

private:
    std::unique_ptr<twtest::TempDir> dir_;
};
DataHomeEnvironment* const gDataHome =
    static_cast<DataHomeEnvironment*>(::testing::AddGlobalTestEnvironment(new DataHomeEnvironment));

using Signatures = ZPSimilarImages::Signatures;
using twtest::histogramOf;

std::shared_ptr<ZPImageSignature> image(const std::string& path, uint64_t size, TWSize resolution = {1, 1}) {
    return ZPImageSignature::withHistogram(path, histogramOf({{0, 1}}), resolution, size);
}

TEST(SimilarImagesGroup, EmptyAndSingleGroups) {
    auto empty = ZPSimilarImages::initWithImage(nullptr);
    EXPECT_EQ(empty->numberOfImages(), 0u);
    EXPECT_TRUE(empty->imageSignatures().empty());
    EXPECT_EQ(empty->imageAtIndex(0), nullptr);
    EXPECT_EQ(empty->description(), "");
    EXPECT_EQ(empty->sortType(), ZPSimilarImages::SortByInsertion);
    EXPECT_FALSE(empty->equalHistogramForImage(*image("/x.png", 1), 0, nullptr));

    auto a = image("/p/a.jpg", 10);
    auto group = ZPSimilarImages::initWithImage(a);
    EXPECT_EQ(group->numberOfImages(), 1u);
    EXPECT_EQ(group->imageAtIndex(0), a);
    EXPECT_EQ(group->imageAtIndex(1), nullptr);
}

TEST(SimilarImagesGroup, AdditionsKeepOrderAndFeedTheTotals) {
    auto a = image("/p/a.jpg", 10), b = image("/q/b.png", 20), c = image("/r/c.gif", 40);
    auto group = ZPSimilarImages::initWithImage(a);
    group->addImageSignatures({b, nullptr, c});
    EXPECT_EQ(group->numberOfImages(), 3u);
    EXPECT_EQ(group->imageAtIndex(2), c);
    EXPECT_EQ(group->imageAtIndex(3), nullptr);
    EXPECT_EQ(group->pathfilesOfImageSign(), (std::vector<std::string>{"/p/a.jpg", "/q/b.png", "/r/c.gif"}));
    EXPECT_EQ(group->filenameOfImageSign(), (std::vector<std::string>{"a.jpg", "b.png", "c.gif"}));
    EXPECT_EQ(group->description(), "a.jpg,b.png,c.gif");
    EXPECT_EQ(group->totalSize(), 70u);
    EXPECT_EQ(group->numberOfFlagSelected(), 0u);
    b->setFlagSelected(true);
    c->setFlagSelected(true);
    EXPECT_EQ(group->numberOfFlagSelected(), 2u);
    EXPECT_EQ(group->sizeOfFlagSelected(), 60u);
}

TEST(SimilarImagesGroup, SimilarityTestTriesEveryMemberInOrder) {
    // At level 0: C is like B (0.018) but not like A (0.105 against 90/10 vs 100 %).
    auto a = ZPImageSignature::withHistogram("/a", histogramOf({{0, 100}}));
    auto b = ZPImageSignature::withHistogram("/b", histogramOf({{0, 95}, {1, 5}}));
    auto c = ZPImageSignature::withHistogram("/c", histogramOf({{0, 90}, {1, 10}}));
    auto onlyA = ZPSimilarImages::initWithImage(a);
    EXPECT_FALSE(onlyA->equalHistogramForImage(*c, 0, nullptr));
    onlyA->addImageSignature(b);
    EXPECT_TRUE(onlyA->equalHistogramForImage(*c, 0, nullptr));
    EXPECT_FALSE(onlyA->equalHistogramForImage(*c, 1, nullptr));
}

TEST(SimilarImagesGroup, SortsBySizeNameAndResolutionBothWays) {
    auto a = image("/p/b.jpg", 30, {800, 600}), b = image("/p/a.jpg", 10, {800, 500}),
         c = image("/p/c.jpg", 20, {640, 900});
    auto d = image("/p/d.jpg", 10, {800.0004, 600});  // same size as b, same resolution as a
    auto group = ZPSimilarImages::initWithImage(a);
    group->addImageSignatures({b, c, d});

    EXPECT_EQ(group->imageSignatures(), (Signatures{a, b, c, d}));
    group->setSortType(ZPSimilarImages::SortBySize);
    EXPECT_EQ(group->imageSignatures(), (Signatures{b, d, c, a}));  // equal sizes keep insertion order
    group->setAscending(true);                                      // true puts the larger key first
    EXPECT_EQ(group->imageSignatures(), (Signatures{a, c, b, d}));
    group->setSortType(ZPSimilarImages::SortByFileName);
    EXPECT_EQ(group->imageSignatures(), (Signatures{d, c, a, b}));
    group->setSortType(ZPSimilarImages::SortByResolution);
    group->setAscending(false);
    EXPECT_EQ(group->imageSignatures(), (Signatures{c, b, a, d}));
    EXPECT_EQ(group->description(), "c.jpg,a.jpg,b.jpg,d.jpg");

    // A member added after a sort is placed at the next read.
    auto e = image("/p/e.jpg", 5, {100, 100});
    group->addImageSignature(e);
    EXPECT_EQ(group->imageSignatures().front(), e);
    EXPECT_EQ(group->imageAtIndex(4), e);  // indexes stay insertion indexes
}

TEST(SimilarImagesGroup, SelectionIsACopy) {
    auto group = ZPSimilarImages::initWithImage(image("/a", 1));
    EXPECT_TRUE(group->selection().empty());
    group->setSelection({0, 3});
    auto selection = group->selection();
    selection.insert(7);
    EXPECT_EQ(group->selection(), (std::set<size_t>{0, 3}));
}

class RemoveFlagSelected : public ::testing::Test {
protected:
    std::shared_ptr<ZPImageSignature> onDisk(const std::string& name) {
        return image(dir_.write(name, "pixels of " + name), 10);
    }
    twtest::TempDir dir_;
};

TEST_F(RemoveFlagSelected, WithoutFlaggedMembersNothingHappens) {
    auto a = onDisk("a.jpg"), b = onDisk("b.jpg");
    auto group = ZPSimilarImages::initWithImage(a);
    group->addImageSignature(b);
    group->removeFlagSelected(false);
    group->removeFlagSelected(true);
    EXPECT_EQ(group->imageSignatures(), (Signatures{a, b}));
    EXPECT_TRUE(twtest::exists(a->pathfile()));
    EXPECT_TRUE(twtest::exists(b->pathfile()));
}

TEST_F(RemoveFlagSelected, DeletesFlaggedFilesAndDropsThemEvenWhenDeletionFails) {
    auto a = onDisk("a.jpg"), b = onDisk("b.jpg"), c = onDisk("c.jpg"), gone = image(dir_ / "gone.jpg", 3);
    auto group = ZPSimilarImages::initWithImage(a);
    group->addImageSignatures({b, gone, c});
    group->setSortType(ZPSimilarImages::SortByFileName);
    EXPECT_EQ(group->imageSignatures(), (Signatures{a, b, c, gone}));
    b->setFlagSelected(true);
    gone->setFlagSelected(true);

    group->removeFlagSelected(false);
    EXPECT_EQ(group->imageSignatures(), (Signatures{a, c}));
    EXPECT_EQ(group->imageAtIndex(1), c);
    EXPECT_FALSE(twtest::exists(b->pathfile()));
    EXPECT_TRUE(twtest::exists(a->pathfile()));
    EXPECT_TRUE(twtest::exists(c->pathfile()));
    // The remaining members are still tested, with their own summaries.
    EXPECT_TRUE(group->equalHistogramForImage(*image("/new.jpg", 1), 1, nullptr));
}

TEST_F(RemoveFlagSelected, TrashesFlaggedFilesBeforeReturning) {
    auto a = onDisk("keep.jpg"), b = onDisk("trash-me.jpg");
    auto group = ZPSimilarImages::initWithImage(a);
    group->addImageSignature(b);
    b->setFlagSelected(true);
    group->removeFlagSelected(true);
    EXPECT_EQ(group->imageSignatures(), (Signatures{a}));
    EXPECT_FALSE(twtest::exists(b->pathfile()));
    EXPECT_EQ(twtest::readFile(gDataHome->trashed("trash-me.jpg")), "pixels of trash-me.jpg");
    EXPECT_TRUE(twtest::exists(a->pathfile()));
}

}  // namespace
