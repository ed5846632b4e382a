#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"
#include "prefs/TWPreference.h"

using Json = tw::DefaultsStore::Value;
namespace fs = std::filesystem;

namespace {

Json storedSettings(const twtest::ScopedDefaults& defaults) {
    if (!twtest::exists(defaults.defaultsPath())) return Json::object();
    return Json::parse(twtest::readFile(defaults.defaultsPath()));
}

// Points $HOME at a folder for the life of the object.
class ScopedHome {
public:
    explicit ScopedHome(const std::string& home) {
        if (const char* old = getenv("HOME")) old_ = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~ScopedHome() {
        if (old_)
            setenv("HOME", old_->c_str(), 1);
        else
            unsetenv("HOME");
    }

private:
    std::optional<std::string> old_;
};

}  // namespace

TEST(Preference, EmptyStoreAnswersTheDefaultsAndWritesNothing) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    EXPECT_EQ(prefs.similarityLevel(), 0.7f);
    EXPECT_TRUE(prefs.skipHiddenItems());
    EXPECT_FALSE(prefs.filterPackage());
    EXPECT_EQ(prefs.filterMinSize(), 0u);
    EXPECT_EQ(prefs.filterMaxSize(), 18446744073709551615ull);
    EXPECT_EQ(prefs.searchMode(), TWSearchModeContent);
    EXPECT_EQ(prefs.destType(), TWDestTypeTrash);
    EXPECT_EQ(prefs.checkMethodForDuplicateFiles(), TWCheckMethodSmartName);
    // Pictures keep their best copy, told apart by their look.
    EXPECT_EQ(prefs.checkMethodForSimilarImages(), TWCheckMethodBestPicture);
    EXPECT_FALSE(prefs.usingDupFilesChkMtdForSimImg());
    EXPECT_EQ(prefs.similarMethod(), TWSimilarMethodLook);
    EXPECT_TRUE(prefs.verifyFullContent());
    EXPECT_TRUE(prefs.filterFileTypeArray().empty());
    EXPECT_TRUE(prefs.filterFileFolders().empty());
    EXPECT_EQ(prefs.countOfFoldersPrivilege(), 0u);
    EXPECT_EQ(TWPreference::defaultIgnoreTypes(), std::vector<std::string>{".DS_Store"});
    EXPECT_FALSE(twtest::exists(defaults.defaultsPath()));
}

TEST(Preference, StoredImageSettingsKeepTheirValuesAndAStrayMethodReadsAsTheDefault) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.setCheckMethodForSimilarImages(TWCheckMethodLowResolution);
    prefs.setUsingDupFilesChkMtdForSimImg(true);
    prefs.setSimilarMethod(TWSimilarMethodColours);
    TWPreference::resetShared();
    auto& reloaded = TWPreference::shared();
    EXPECT_EQ(reloaded.checkMethodForSimilarImages(), TWCheckMethodLowResolution);
    EXPECT_TRUE(reloaded.usingDupFilesChkMtdForSimImg());
    EXPECT_EQ(reloaded.similarMethod(), TWSimilarMethodColours);
    reloaded.setSimilarMethod(7);
    EXPECT_EQ(reloaded.similarMethod(), TWSimilarMethodLook);
}

TEST(Preference, ScalarSettingsAreStoredUnderTheirKeys) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.setSimilarityLevel(0.85f);
    prefs.setSkipHiddenItems(false);
    prefs.setFilterPackage(true);
    prefs.setSearchMode(TWSearchModeName);
    prefs.setDestType(TWDestTypeMoveToFolder);
    prefs.setCheckMethodForDuplicateFiles(TWCheckMethodOlder);
    prefs.setCheckMethodForSimilarImages(TWCheckMethodHighQuality);
    prefs.setUsingDupFilesChkMtdForSimImg(false);
    prefs.setVerifyFullContent(false);

    TWPreference::resetShared();  // nothing is kept in memory but the grants
    auto& again = TWPreference::shared();
    EXPECT_EQ(again.similarityLevel(), 0.85f);
    EXPECT_FALSE(again.skipHiddenItems());
    EXPECT_TRUE(again.filterPackage());
    EXPECT_EQ(again.searchMode(), TWSearchModeName);
    EXPECT_EQ(again.destType(), TWDestTypeMoveToFolder);
    EXPECT_EQ(again.checkMethodForDuplicateFiles(), TWCheckMethodOlder);
    EXPECT_EQ(again.checkMethodForSimilarImages(), TWCheckMethodHighQuality);
    EXPECT_FALSE(again.usingDupFilesChkMtdForSimImg());
    EXPECT_FALSE(again.verifyFullContent());

    Json stored = storedSettings(defaults);
    EXPECT_EQ(stored["kSimilarityLevel"].dump(), "0.85");
    for (const char* key : {"kSimilarityLevel", "kSkipHiddenItems", "isSkipPackages", "findModeMatrixSeletedRow",
                            "trashMatrixSelectRow", "kSmartCheckMethodForDuplicateFiles",
                            "kSmartCheckMethodForSimilarImages", "kUsingDupFileChkMthForSimImg", "kVerifyFullContent"})
        EXPECT_TRUE(stored.contains(key)) << key;
}

TEST(Preference, SizeWindowKeepsTheMinimumBelowTheMaximum) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    tw::LogCapture log;
    prefs.setFilterMinSize(UINT64_MAX);
    EXPECT_EQ(log.count("filter min size(18446744073709551615) over than max size(18446744073709551615), ignored"), 1u);
    EXPECT_EQ(prefs.filterMinSize(), 0u);

    prefs.setFilterMinSize(10);
    prefs.setFilterMaxSize(10);
    EXPECT_EQ(log.count("filter max size(10) low than min size(10), ignored"), 1u);
    prefs.setFilterMaxSize(11);
    prefs.setFilterMinSize(11);
    EXPECT_EQ(log.count("filter min size(11) over than max size(11), ignored"), 1u);
    EXPECT_EQ(prefs.filterMinSize(), 10u);
    EXPECT_EQ(prefs.filterMaxSize(), 11u);
    EXPECT_EQ(log.lines().size(), 3u);
}

TEST(Preference, LibraryLocationSettersRefuseTooShortPaths) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    std::string itunesDefault = prefs.iTunesMediaFolderLocation();
    prefs.setITunesMediaFolderLocation("/a");
    EXPECT_EQ(prefs.iTunesMediaFolderLocation(), itunesDefault);
    prefs.setITunesMediaFolderLocation("/ab");
    EXPECT_EQ(prefs.iTunesMediaFolderLocation(), "/ab");
    prefs.setPhotosLibraryLocation("/");
    EXPECT_NE(prefs.PhotosLibraryLocation(), "/");
    prefs.setPhotosLibraryLocation("/a");
    EXPECT_EQ(prefs.PhotosLibraryLocation(), "/a");
}

TEST(Preference, DefaultLibraryLocationsNameTheLibrariesFound) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir home;
    ScopedHome scopedHome(home.path());
    const char* oldData = getenv("XDG_DATA_HOME");
    const std::string previousData = oldData ? oldData : "";
    unsetenv("XDG_DATA_HOME");
    // Nothing found: where Shotwell and Rhythmbox keep their libraries.
    EXPECT_EQ(TWPreference::defaultItunesMediaFolderLocation(), home.path() + "/.local/share/rhythmbox");
    EXPECT_EQ(TWPreference::defaultPhotoLibraryLocation(), home.path() + "/.local/share/shotwell");

    // digiKam's database, as its settings name it, when there is no Shotwell library.
    setenv("XDG_CONFIG_HOME", (home.path() + "/cfg").c_str(), 1);  // ScopedDefaults restores it
    std::string db = home.write("Pictures/digikam4.db", "");
    home.write("cfg/digikamrc",
               "[Database Settings]\nDatabase Type=QSQLITE\nDatabase Name=" + home.path() + "/Pictures/\n");
    EXPECT_EQ(TWPreference::defaultPhotoLibraryLocation(), db);
    // A Shotwell library comes first.
    home.write(".local/share/shotwell/data/photo.db", "");
    EXPECT_EQ(TWPreference::defaultPhotoLibraryLocation(), home.path() + "/.local/share/shotwell");
    if (oldData) setenv("XDG_DATA_HOME", previousData.c_str(), 1);
}

TEST(Preference, FolderParentTestIsTextualOnWholeComponents) {
    EXPECT_TRUE(TWPreference::folderIsParentOfFolder("/Users/x/Music", "/Volumes/d/Users/x/Music/a"));
    EXPECT_TRUE(TWPreference::folderIsParentOfFolder("/a/", "/a/b"));
    EXPECT_FALSE(TWPreference::folderIsParentOfFolder("/a/b", "/a/b"));
    EXPECT_FALSE(TWPreference::folderIsParentOfFolder("/a/b/c", "/a/b"));
    EXPECT_FALSE(TWPreference::folderIsParentOfFolder("/x/Music", "/x/Music2/a"));
    EXPECT_FALSE(TWPreference::folderIsParentOfFolder("/x/Music", "/y/Music/a")) << "case and text must match";
    EXPECT_FALSE(TWPreference::folderIsParentOfFolder("", "/a/b"));
}

TEST(Preference, LibraryPathTests) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.setPhotosLibraryLocation("/u/Pictures/Photos Library.photoslibrary");
    prefs.setITunesMediaFolderLocation("/u/Music/Music/Media");

    EXPECT_TRUE(prefs.containedByPhotoLibraryPath("/u/Pictures/Photos Library.photoslibrary/originals/1.jpg"));
    EXPECT_FALSE(prefs.containedByPhotoLibraryPath("/u/Pictures/Photos Library.photoslibrary"));
    EXPECT_TRUE(prefs.containPhotoLibraryPath("/u/Pictures"));
    EXPECT_FALSE(prefs.containPhotoLibraryPath("/u/Music"));
    EXPECT_TRUE(prefs.containedByItunesMediaFolder("/u/Music/Music/Media/song.mp3"));
    EXPECT_TRUE(prefs.containItunesMediaFolder("/u"));
    EXPECT_TRUE(prefs.isPhotosLibraryPath("/U/PICTURES/photos library.PHOTOSLIBRARY"));
    EXPECT_FALSE(prefs.isPhotosLibraryPath("/u/Pictures/Photos Library.photoslibrary/"));
    EXPECT_TRUE(prefs.isItuneMediaFolderLocation("/u/music/music/media"));

    EXPECT_TRUE(TWPreference::isiPhotoLibraryPath("/u/Old.photolibrary"));
    EXPECT_TRUE(TWPreference::isiPhotoLibraryPath("/u/iPhoto Library.photolibrary/Masters/a.jpg"));
    EXPECT_FALSE(TWPreference::isiPhotoLibraryPath("/u/Old.PhotoLibrary"));
    EXPECT_FALSE(TWPreference::isiPhotoLibraryPath("/u/Photos Library.photoslibrary"));
    EXPECT_FALSE(TWPreference::isiPhotoLibraryPath("/u/xiPhoto Library.photolibrary/a.jpg"));
}

// The walk's one test stands for the five: it must answer as they do, case and
// component boundaries included.
TEST(Preference, LibraryLocationIsAnyOfTheLibraryTests) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.setPhotosLibraryLocation("/u/Pictures/Photos Library.photoslibrary");
    prefs.setITunesMediaFolderLocation("/u/Music/Media");
    const struct {
        const char* path;
        bool library;
    } cases[] = {
        {"/u/Pictures/Photos Library.photoslibrary", true},
        {"/u/pictures/PHOTOS library.photoslibrary", true},
        {"/u/Pictures/Photos Library.photoslibrary/originals/1.jpg", true},
        {"/mnt/d/u/Pictures/Photos Library.photoslibrary/1.jpg", true},
        {"/u/Pictures/Photos Library.photoslibrary2/1.jpg", false},
        {"/u/Pictures/Photos Library.photoslibrar", false},
        {"/u/Music/Media", true},
        {"/U/MUSIC/MEDIA", true},
        {"/u/Music/Media/a/song.mp3", true},
        {"/u/Music/MediaX/song.mp3", false},
        {"/u/Music", false},
        {"/u/Old.photolibrary", true},
        {"/u/iPhoto Library.photolibrary/Masters/a.jpg", true},
        {"/u/Documents/report.txt", false},
    };
    for (const auto& c : cases) {
        const std::string path = c.path;
        const bool any = TWPreference::isiPhotoLibraryPath(path) || prefs.isPhotosLibraryPath(path) ||
                         prefs.containedByPhotoLibraryPath(path) || prefs.isItuneMediaFolderLocation(path) ||
                         prefs.containedByItunesMediaFolder(path);
        EXPECT_EQ(any, c.library) << path;
        EXPECT_EQ(prefs.isLibraryLocation(path), c.library) << path;
    }
}

TEST(Preference, FileTypeListOperations) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addFilterFileType("jpg");
    prefs.addFilterFileType("jpg");  // duplicates are the user's business
    prefs.addFilterFileType(".TMP");
    EXPECT_EQ(prefs.numberOfFilterFileType(), 3u);
    EXPECT_EQ(prefs.filterFileTypePathAt(2), ".TMP");
    EXPECT_FALSE(prefs.filterFileTypePathAt(-1));
    EXPECT_FALSE(prefs.filterFileTypePathAt(3));

    prefs.updateFilterFileTypeAtIndex(1, "png");
    prefs.updateFilterFileTypeAtIndex(7, "gif");  // past the end: nothing
    prefs.removeFilterFileTypeAtIndex(9);
    EXPECT_EQ(prefs.filterFileTypeArray(), (std::vector<std::string>{"jpg", "png", ".TMP"}));
    prefs.updateFilterFileTypeAtIndex(0, "");  // an empty type removes the row
    EXPECT_EQ(prefs.filterFileTypeArray(), (std::vector<std::string>{"png", ".TMP"}));

    prefs.setFilterFileTypeArray(std::vector<std::string>{});
    EXPECT_TRUE(storedSettings(defaults).contains("sortArray"));
    prefs.setFilterFileTypeArray(std::nullopt);
    EXPECT_FALSE(storedSettings(defaults).contains("sortArray"));
}

TEST(Preference, FolderListOperations) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addFilterFileFolder("");
    prefs.addFilterFileFolders({});
    EXPECT_FALSE(twtest::exists(defaults.defaultsPath())) << "empty requests change nothing";

    prefs.addFilterFileFolder("/a");
    prefs.addFilterFileFolders({"/b", "", "/a", "/c"});
    EXPECT_EQ(prefs.filterFileFolders(), (std::vector<std::string>{"/a", "/b", "/a", "/c"}));
    EXPECT_EQ(prefs.filterFileFolderAtIndex(3), "/c");
    EXPECT_FALSE(prefs.filterFileFolderAtIndex(4));

    prefs.removeFilterFileFolder("/a");  // every copy
    EXPECT_EQ(prefs.filterFileFolders(), (std::vector<std::string>{"/b", "/c"}));
    prefs.removeFilterFileFoldersAtIndexes({0, 5});
    EXPECT_EQ(prefs.filterFileFolders(), (std::vector<std::string>{"/c"}));
    prefs.removeFilterFileFolderAtIndex(0);
    EXPECT_EQ(prefs.numberOfFilterFileFolders(), 0u);
    EXPECT_FALSE(storedSettings(defaults).contains("archiveHiddenFiles"));

    prefs.setFilterFileFolders({"/x"});
    EXPECT_EQ(storedSettings(defaults)["archiveHiddenFiles"], Json::array({"/x"}));
    prefs.setFilterFileFolders({});
    EXPECT_FALSE(storedSettings(defaults).contains("archiveHiddenFiles"));
}

TEST(Preference, ListsKeepNamesThatAreNotUtf8) {
    twtest::ScopedDefaults defaults;
    const std::string latin1 = "/data/caf\xe9";
    auto& prefs = TWPreference::shared();
    prefs.addFilterFileFolder(latin1);
    prefs.addFilterFileType("\xe9xt");
    TWPreference::resetShared();
    tw::DefaultsStore::resetStandard();
    auto& again = TWPreference::shared();
    EXPECT_EQ(again.filterFileFolders(), std::vector<std::string>{latin1});
    EXPECT_EQ(again.filterFileTypeArray(), std::vector<std::string>{"\xe9xt"});
    again.removeFilterFileFolder(latin1);
    EXPECT_TRUE(again.filterFileFolders().empty());
}

TEST(Preference, ListEditsFromTwoStoresAreBothKept) {
    twtest::ScopedDefaults defaults;
    auto& prefs = TWPreference::shared();
    prefs.addFilterFileType("a");
    // Another process appends meanwhile; this process has not read it yet.
    tw::DefaultsStore other(defaults.defaultsPath());
    ASSERT_TRUE(other.setValue("sortArray", Json::array({"a", "b"})));
    prefs.addFilterFileType("c");
    EXPECT_EQ(prefs.filterFileTypeArray(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(Preference, HiddenItems) {
    twtest::TempDir dir;
    dir.write("visible", "");
    dir.write(".dot", "");
    dir.write("listed", "");
    dir.write("sub/listed", "");
    dir.write(".hidden", "listed\r\nother\n\nwith space \n");
    EXPECT_FALSE(TWPreference::isHiddenAtItem(dir / "visible"));
    EXPECT_TRUE(TWPreference::isHiddenAtItem(dir / ".dot"));
    EXPECT_TRUE(TWPreference::isHiddenAtItem(dir / "listed"));
    EXPECT_TRUE(TWPreference::isHiddenAtItem(dir / "with space "));
    EXPECT_FALSE(TWPreference::isHiddenAtItem(dir / "sub/listed")) << ".hidden speaks for its own folder only";
    EXPECT_TRUE(TWPreference::isHiddenAtItem(dir / "listed/")) << "a trailing slash names the same item";
    EXPECT_FALSE(TWPreference::isHiddenAtItem("/"));
    EXPECT_FALSE(TWPreference::isHiddenAtItem(""));
}
