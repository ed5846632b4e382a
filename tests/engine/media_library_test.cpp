// Library items reach the scan through the media-library layer: three levels of
// groups, one offer per item and source, bounded waits for values that come late.

#include <gtest/gtest.h>

#include "InMemoryMediaLibrary.h"
#include "TestSupport.h"
#include "engine/TWMediaObjectUtility.h"
#include "engine/TWSearchMediaLibrary.h"

using namespace twtest;

namespace {

std::shared_ptr<InMemoryMediaObject> item(const std::string& id, const std::string& path,
                                          const char* source = MLMediaSourcePhotosIdentifier) {
    return std::make_shared<InMemoryMediaObject>(id, path, source);
}

std::shared_ptr<InMemoryMediaGroup> group(std::vector<std::shared_ptr<tw::MediaObject>> objects,
                                          std::vector<std::shared_ptr<tw::MediaGroup>> children = {},
                                          Delivery delivery = Delivery::Immediate) {
    auto g = std::make_shared<InMemoryMediaGroup>(delivery);
    g->objects = std::move(objects);
    g->children = std::move(children);
    return g;
}

using Offer = std::pair<std::string, std::string>;  // source, identifier

std::vector<Offer> enumerate(const std::vector<std::string>& sources, const std::function<bool(size_t)>& stopAt = {}) {
    std::vector<Offer> offers;
    auto search = TWSearchMediaLibrary::initWithSourceTypes(sources);
    EXPECT_TRUE(search);
    if (!search) return offers;
    search->enumMediaObjectsWithBlock([&](const std::string& source, const std::shared_ptr<tw::MediaObject>& o) {
        offers.emplace_back(source, o->identifier());
        return stopAt ? stopAt(offers.size()) : false;
    });
    return offers;
}

class MediaLibrary : public ::testing::Test {
protected:
    TempDir dir;
    std::shared_ptr<InMemoryMediaLibraryService> service = std::make_shared<InMemoryMediaLibraryService>();
};

TEST_F(MediaLibrary, OffersEachItemOncePerSourceDownToTheThirdLevel) {
    auto shared = item("p1", dir.write("p1.jpg", "a"));
    auto deep = item("deep", dir.write("deep.jpg", "b"));
    // root (level 1) holds p1; album A (2) and album B (2) hold p1 again; A's child (3)
    // holds p1 and p2; a fourth level holds an item reachable nowhere else.
    auto level4 = group({deep});
    auto level3 = group({shared, item("p2", dir.write("p2.jpg", "c"))}, {level4});
    auto albumA = group({shared}, {level3});
    auto albumB = group({shared});
    service->sources[MLMediaSourcePhotosIdentifier] =
        std::make_shared<InMemoryMediaSource>(group({shared}, {albumA, albumB}));
    service->sources[MLMediaSourceiTunesIdentifier] = std::make_shared<InMemoryMediaSource>(
        group({item("t1", dir.write("t1.mp3", "d"), MLMediaSourceiTunesIdentifier)}));
    ScopedMediaLibraryService installed(service);

    auto offers = enumerate({MLMediaSourcePhotosIdentifier, MLMediaSourceiTunesIdentifier});
    EXPECT_EQ(offers, (std::vector<Offer>{{MLMediaSourcePhotosIdentifier, "p1"},
                                          {MLMediaSourcePhotosIdentifier, "p2"},
                                          {MLMediaSourceiTunesIdentifier, "t1"}}));
    ASSERT_EQ(service->requestedFilters.size(), 1u);

    // Only the music source asked for: no photo is offered.
    offers = enumerate({MLMediaSourceiTunesIdentifier});
    EXPECT_EQ(offers, (std::vector<Offer>{{MLMediaSourceiTunesIdentifier, "t1"}}));
    EXPECT_EQ(service->requestedFilters.back(), std::vector<std::string>{MLMediaSourceiTunesIdentifier});
}

TEST_F(MediaLibrary, ValuesThatArriveLaterAreWaitedFor) {
    auto late = [&](const std::string& id) { return item(id, dir.write(id + ".jpg", id)); };
    auto child = group({late("b")}, {}, Delivery::Late);
    service->sources[MLMediaSourcePhotosIdentifier] =
        std::make_shared<InMemoryMediaSource>(group({late("a")}, {child}, Delivery::Late), Delivery::Late);
    service->sourcesDelivery = Delivery::Late;
    ScopedMediaLibraryService installed(service);

    EXPECT_EQ(enumerate({MLMediaSourcePhotosIdentifier}),
              (std::vector<Offer>{{MLMediaSourcePhotosIdentifier, "a"}, {MLMediaSourcePhotosIdentifier, "b"}}));
}

TEST_F(MediaLibrary, AValueThatNeverArrivesCountsAsAbsentAfterTheWaitLimit) {
    // A source whose root never loads is skipped; the next source still comes.
    service->sources[MLMediaSourcePhotosIdentifier] =
        std::make_shared<InMemoryMediaSource>(group({item("a", dir.write("a.jpg", "a"))}), Delivery::Never);
    service->sources[MLMediaSourceiTunesIdentifier] = std::make_shared<InMemoryMediaSource>(
        group({item("t", dir.write("t.mp3", "t"), MLMediaSourceiTunesIdentifier)}));
    {
        ScopedMediaLibraryService installed(service, std::chrono::milliseconds(50));
        EXPECT_EQ(enumerate({MLMediaSourcePhotosIdentifier, MLMediaSourceiTunesIdentifier}),
                  (std::vector<Offer>{{MLMediaSourceiTunesIdentifier, "t"}}));
    }
    // A library whose sources never load offers nothing, and returns.
    service->sourcesDelivery = Delivery::Never;
    ScopedMediaLibraryService installed(service, std::chrono::milliseconds(50));
    EXPECT_TRUE(enumerate({MLMediaSourceiTunesIdentifier}).empty());
}

TEST_F(MediaLibrary, AStopEndsOnlyTheCurrentGroupsLoopAndDescent) {
    auto f = [&](const std::string& id) { return item(id, dir.write(id, id)); };
    auto childOfA = group({f("a2")});
    auto albumA = group({f("a1"), f("a1b")}, {childOfA});
    auto albumB = group({f("b1"), f("b2")});
    service->sources[MLMediaSourcePhotosIdentifier] =
        std::make_shared<InMemoryMediaSource>(group({f("r1")}, {albumA, albumB}));
    ScopedMediaLibraryService installed(service);

    // Stop at the second offer (a1): album A's loop and its child end; album B still
    // offers its first new item, as the scan's block keeps answering "stop" from then on.
    auto offers = enumerate({MLMediaSourcePhotosIdentifier}, [](size_t n) { return n >= 2; });
    std::vector<std::string> ids;
    for (auto& o : offers) ids.push_back(o.second);
    EXPECT_EQ(ids, (std::vector<std::string>{"r1", "a1", "b1"}));
}

TEST_F(MediaLibrary, NoServiceOrNoSourcesOffersNothing) {
    EXPECT_FALSE(TWSearchMediaLibrary::initWithSourceTypes({}));
    ScopedMediaLibraryService none(nullptr);
    auto search = TWSearchMediaLibrary::initWithSourceTypes({MLMediaSourcePhotosIdentifier});
    ASSERT_TRUE(search);
    EXPECT_FALSE(search->mediaLibrary());
    bool called = false;
    search->enumMediaObjectsWithBlock([&](const std::string&, const std::shared_ptr<tw::MediaObject>&) {
        called = true;
        return false;
    });
    EXPECT_FALSE(called);
}

TEST_F(MediaLibrary, RecordsOfLibraryItems) {
    ScopedDefaults defaults;
    auto photo = item("ABC-123", dir.write("Masters/IMG_1.jpg", "pixels"));
    {
        auto record = TWMediaObjectUtility::initWithMediaObject(photo, MLMediaSourcePhotosIdentifier);
        ASSERT_TRUE(record);
        EXPECT_EQ(photo->openAccesses.load(), 1);    // held while the record lives
        EXPECT_EQ(record->identifier(), "ABC-123");  // never suffixed on Linux
        EXPECT_EQ(record->sourceType(), MLMediaSourcePhotosIdentifier);
        EXPECT_NE(record->sourceType(), TWFileUtility::initWithPath(photo->filePath().value())->sourceType());
        EXPECT_EQ(record->privilege(), -1);
        EXPECT_EQ(record->fileSize(), 6u);
        EXPECT_EQ(record->category(), TWCategory_images);
    }
    EXPECT_EQ(photo->openAccesses.load(), 0);

    auto refused =
        std::make_shared<InMemoryMediaObject>("x", dir.write("x.jpg", "x"), MLMediaSourcePhotosIdentifier, true);
    EXPECT_FALSE(TWMediaObjectUtility::initWithMediaObject(refused, MLMediaSourcePhotosIdentifier));
    EXPECT_FALSE(TWMediaObjectUtility::initWithMediaObject(nullptr, MLMediaSourcePhotosIdentifier));
}

}  // namespace
