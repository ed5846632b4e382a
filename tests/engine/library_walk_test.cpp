// A scan over folders that hold files of a Shotwell library (a fixture on Shotwell's own
// schema): the walk leaves those files to the library, whether it is included or not,
// and an included library's files come in as its items, never grouped with plain copies.

#include <gtest/gtest.h>

#include "EngineTestHelpers.h"
#include "InMemoryMediaLibrary.h"
#include "LibraryFixtures.h"
#include "LinuxLibraries.h"
#include "ScanHarness.h"
#include "TWMediaObjectUtility.h"

namespace {

TEST(LibraryWalk, LibraryFilesComeInOnlyAsItemsOfTheirLibrary) {
    twtest::ScopedDefaults defaults;
    twtest::ScopedLibraryHome home;
    twtest::ScopedMediaLibraryService service(std::make_shared<tw::LinuxMediaLibraryService>());
    const std::string db = twtest::makeShotwellLibrary(home);
    ASSERT_FALSE(db.empty());
    const std::string content = twtest::randomBytes(5000, 7);
    const std::string inLibrary = home.dir().write("pics/a.txt", content);
    const std::string alsoInLibrary = home.dir().write("pics/c.txt", content);
    home.dir().write("pics/plain copy.txt", content);
    // A second name of a library file is the library's file too.
    home.dir().hardlink("pics/a.txt", "pics/other/link to a.txt");
    twtest::sql(db, "INSERT INTO PhotoTable (id, filename, filesize, flags) VALUES (1, '" + inLibrary +
                        "', 5000, 0), (2, '" + alsoInLibrary + "', 5000, 0);");
    EXPECT_TRUE(TWSearchDuplicateFiles::containPhotosLibrary({home.dir() / "pics"}));
    EXPECT_TRUE(TWSearchDuplicateFiles::containPhotosLibrary({home.dir().path()}));
    EXPECT_FALSE(TWSearchDuplicateFiles::containPhotosLibrary({home.dir() / "pics/other"}));

    // Not included: the library's files are left out, the plain copy stands alone.
    auto skipped = twtest::scan({home.dir() / "pics"});
    EXPECT_EQ(skipped.scanned, 1u);
    EXPECT_EQ(skipped.duplicates, 0u);

    // Included: the two library files match each other as library items; the plain
    // copy has another source and is never grouped with them.
    auto engine = TWSearchDuplicateFiles::init(twtest::quietOptions());
    engine->setSearchPhotosLibrary(true);
    engine->searchRootPaths({home.dir() / "pics"});
    twtest::ScanObserver observer(engine);
    engine->startSearch();
    ASSERT_TRUE(observer.waitFinished());
    EXPECT_EQ(engine->numberOfLibraryFilesLeftOut(), 3u);
    EXPECT_EQ(observer.report.scanned, 3u);
    const auto groups = twtest::groupsOf(observer.report, home.dir().path());
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0], (twtest::Group{"pics/a.txt", "pics/c.txt"}));
    for (const auto& container : observer.report.containers)
        for (const auto& group : container->duplicateFilesIncludingSimilar())
            for (const auto& file : group->itemsOfFileUtility()) {
                auto item = std::dynamic_pointer_cast<TWMediaObjectUtility>(file);
                ASSERT_TRUE(item);
                EXPECT_EQ(item->libraryName(), "Shotwell");
                EXPECT_EQ(item->identifier().rfind("thumb000000000000000", 0), 0u);
            }
}

}  // namespace
