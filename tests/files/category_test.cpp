#include <gtest/gtest.h>

#include <set>

#include "files/TWCategoryManager.h"

namespace {

TEST(CategoryManager, ExtensionsListedTwiceFollowTheTestOrder) {
    // "jar" is both a document and an archive; archives are tested first.
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("JAR")), TWCategory_archives);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("jar")), TWCategory_archives);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("JPG")), TWCategory_images);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("mid")), TWCategory_videos);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("midi")), TWCategory_music);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("ra")), TWCategory_videos);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("pkg")), TWCategory_archives);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("App")), TWCategory_packages);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("scitex ct")), TWCategory_images);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("PdF")), TWCategory_documents);
}

TEST(CategoryManager, MissingOrUnknownExtensionsAreOthers) {
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::nullopt), TWCategory_others);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string()), TWCategory_others);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("xyz")), TWCategory_others);
    // Only ASCII letters are folded; other bytes must not be mistaken for letters.
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("p\xc3\xa4g")), TWCategory_others);
    EXPECT_EQ(TWCategoryManager::categoryOfFileExtension(std::string("pn\xff")), TWCategory_others);
}

TEST(CategoryManager, ListsKeepTheirOrderAndRepeatedEntries) {
    EXPECT_EQ(TWCategoryManager::arrayOfDocumentFileType().size(), 59u);
    EXPECT_EQ(TWCategoryManager::arrayOfImageFileType().size(), 35u);
    EXPECT_EQ(TWCategoryManager::arrayOfMusicFileType().size(), 18u);
    EXPECT_EQ(TWCategoryManager::arrayOfVideoFileType().size(), 29u);
    EXPECT_EQ(TWCategoryManager::arrayOfCompressFileType().size(), 19u);
    EXPECT_EQ(TWCategoryManager::arrayOfPackageFileType().size(), 5u);
    EXPECT_EQ(TWCategoryManager::arrayOfDocumentFileType().front(), "pdf");
    EXPECT_EQ(TWCategoryManager::arrayOfDocumentFileType().back(), "ppt");
    EXPECT_EQ(TWCategoryManager::arrayOfImageFileType().back(), "sgi");
    EXPECT_EQ(TWCategoryManager::arrayOfVideoFileType().back(), "swf");
    for (const auto* list :
         {&TWCategoryManager::arrayOfDocumentFileType(), &TWCategoryManager::arrayOfImageFileType(),
          &TWCategoryManager::arrayOfMusicFileType(), &TWCategoryManager::arrayOfVideoFileType(),
          &TWCategoryManager::arrayOfCompressFileType(), &TWCategoryManager::arrayOfPackageFileType()}) {
        for (const auto& ext : *list) {
            for (char c : ext) EXPECT_FALSE(c >= 'A' && c <= 'Z') << ext;
        }
    }
}

TEST(CategoryManager, NamesAndColours) {
    auto names = TWCategoryManager::categoryNames();
    ASSERT_EQ(names.size(), 8u);
    EXPECT_EQ(names.front(), "All");
    EXPECT_EQ(names[TWCategory_images], "Images");
    EXPECT_EQ(names.back(), "Others");
    EXPECT_EQ(TWCategoryManager::descriptionOf(8), "Others");
    EXPECT_EQ(TWCategoryManager::descriptionOf(-1), "Others");
    EXPECT_EQ(TWCategoryManager::nameOf(TWCategory_packages), "Packages");

    TWColor documents = TWCategoryManager::colorOf(TWCategory_documents);
    EXPECT_NEAR(documents.red * 255, 74, 1e-9);
    EXPECT_NEAR(documents.green * 255, 144, 1e-9);
    EXPECT_NEAR(documents.blue * 255, 226, 1e-9);
    EXPECT_EQ(documents.alpha, 1.0);
    std::set<std::tuple<double, double, double>> distinct;
    for (int64_t c = 0; c <= 7; ++c) {
        TWColor colour = TWCategoryManager::colorOf(c);
        distinct.insert({colour.red, colour.green, colour.blue});
    }
    EXPECT_EQ(distinct.size(), 8u);
}

}  // namespace
