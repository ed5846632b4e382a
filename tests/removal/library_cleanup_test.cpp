// Library items are gathered by script, never deleted: the script texts line by line,
// the name rules, the escaping of values, and the guide texts.

#include <gtest/gtest.h>

#include "Log.h"
#include "ScriptExecutor.h"
#include "TWAppleScript.h"
#include "TWCleanMediaLibraryGuide.h"

namespace {

// Records every script it is asked to run and answers as told.
class RecordingExecutor : public tw::ScriptExecutor {
public:
    std::vector<std::string> scripts;
    Result answer{true, "", "ok", std::nullopt};
    Result run(const std::string& text) override {
        scripts.push_back(text);
        return answer;
    }
};

class LibraryCleanup : public ::testing::Test {
protected:
    std::shared_ptr<RecordingExecutor> executor = std::make_shared<RecordingExecutor>();
    void SetUp() override { tw::ScriptExecutor::install(executor); }
    void TearDown() override { tw::ScriptExecutor::install(nullptr); }
    TWAppleScript& script = TWAppleScript::shareAppleScript();
};

TEST_F(LibraryCleanup, PhotosScriptForTwoIdentifiers) {
    ASSERT_TRUE(script.removeDuplicatePhotos({"ID-1", "ID-2"}, kTWDuplicateAlbumName, kTWDuplicateFolderName));
    ASSERT_EQ(executor->scripts.size(), 1u);
    EXPECT_EQ(executor->scripts[0],
              "tell application \"Photos\"\n"
              "set albumName to \"Varnel Duplicate Album\"\n"
              "set folderName to \"Varnel Duplicate Folder\"\n"
              "if exists folder named folderName then\n"
              "set myFolder to folder named folderName\n"
              "else\n"
              "set myFolder to make new folder named folderName\n"
              "end if\n"
              "if exists (album named albumName of myFolder) then\n"
              "set myAlbum to album named albumName of myFolder\n"
              "else\n"
              "set myAlbum to make new album named albumName at myFolder\n"
              "end if\n"
              "set myDuplicateItems to {}\n"
              "set myDuplicateItems to myDuplicateItems & (get media items of application \"Photos\" whose id is "
              "\"ID-1\")\n"
              "set myDuplicateItems to myDuplicateItems & (get media items of application \"Photos\" whose id is "
              "\"ID-2\")\n"
              "add myDuplicateItems to myAlbum\n"
              "end tell");
}

TEST_F(LibraryCleanup, MusicScriptForTwoIdentifiers) {
    ASSERT_TRUE(script.removeDuplicateiTunes({"A1B2", "C3D4"}, kTWDuplicatePlaylistName));
    ASSERT_EQ(executor->scripts.size(), 1u);
    EXPECT_EQ(executor->scripts[0],
              "tell application \"Music\"\n"
              "set duplicatePlaylistName to \"Varnel Duplicate Media\"\n"
              "if user playlist duplicatePlaylistName exists then\n"
              "set myDuplicatePlaylist to user playlist duplicatePlaylistName\n"
              "else\n"
              "set myDuplicatePlaylist to make new user playlist with properties {name:duplicatePlaylistName}\n"
              "end if\n"
              "set c to get count of track\n"
              "set myPersistenIDs to {}\n"
              "set the end of myPersistenIDs to \"A1B2\"\n"
              "set the end of myPersistenIDs to \"C3D4\"\n"
              "repeat with i from 1 to c\n"
              "set tmp to persistent ID of track i\n"
              "if myPersistenIDs contains tmp then\n"
              "duplicate track i to myDuplicatePlaylist\n"
              "end if\n"
              "end repeat\n"
              "end tell\n");
}

TEST_F(LibraryCleanup, NameRulesAndEmptyLists) {
    tw::LogCapture log;
    // Photos: names are checked before the list; an empty list runs nothing.
    EXPECT_TRUE(script.removeDuplicatePhotos({}, "abc", "def"));
    EXPECT_FALSE(script.removeDuplicatePhotos({}, "ab", "folder"));
    EXPECT_EQ(log.count("Error album name ab, album name must be over 3 character."), 1u);
    EXPECT_FALSE(script.removeDuplicatePhotos({"x"}, "album", "fo"));
    EXPECT_EQ(log.count("Error folder name fo, folder must be over 3 characters."), 1u);
    // Music: an empty list answers YES before the name is looked at.
    EXPECT_TRUE(script.removeDuplicateiTunes({}, "ab"));
    EXPECT_FALSE(script.removeDuplicateiTunes({"x"}, "ab"));
    EXPECT_EQ(log.count("the name of playlist must be over 3 characters."), 1u);
    EXPECT_TRUE(executor->scripts.empty());
    EXPECT_TRUE(script.removeDuplicateiTunes({"x"}, "abc"));  // exactly 3 is enough
    EXPECT_EQ(executor->scripts.size(), 1u);
}

TEST_F(LibraryCleanup, ValuesCannotBreakOutOfTheirStrings) {
    ASSERT_TRUE(script.removeDuplicateiTunes({"x\" & (do shell script \"rm -rf ~\") & \"", "a\\b"}, "Media"));
    const std::string& text = executor->scripts.at(0);
    EXPECT_NE(text.find("set the end of myPersistenIDs to \"x\\\" & (do shell script \\\"rm -rf ~\\\") & \\\"\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("set the end of myPersistenIDs to \"a\\\\b\"\n"), std::string::npos);
    EXPECT_EQ(TWAppleScript::photosScript({"id"}, "My \"Album\"", "Folder").find("\"My \"Album\"\""),
              std::string::npos);
}

TEST_F(LibraryCleanup, ExecutionAnswersAndLogs) {
    tw::LogCapture log;
    executor->answer = {true, "", "done", std::string("application is not running")};
    EXPECT_FALSE(script.executeAppleString("tell application \"Music\"\nend tell"));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"done", "application is not running"}));
    log.clear();
    executor->answer = {false, "syntax error", "", std::nullopt};
    EXPECT_FALSE(script.executeAppleString("garbage"));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"syntax error"}));
    log.clear();
    executor->answer = {true, "", "", std::nullopt};
    EXPECT_TRUE(script.executeAppleString("ok"));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"", ""}));  // result and error, both, every time

    // Without an installed executor nothing runs and the answer is NO.
    tw::ScriptExecutor::install(nullptr);
    log.clear();
    EXPECT_FALSE(script.removeDuplicatePhotos({"id"}, kTWDuplicateAlbumName, kTWDuplicateFolderName));
    EXPECT_TRUE(log.contains("no script service"));
}

TEST(CleanMediaLibraryGuide, TextAndPicturesForEachFlagCombination) {
    TWCleanMediaLibraryGuide guide{false, false, kTWDuplicateFolderName, kTWDuplicateAlbumName,
                                   kTWDuplicatePlaylistName};
    EXPECT_EQ(guide.prompt(), "");
    EXPECT_FALSE(guide.photosPictureFrame());
    EXPECT_FALSE(guide.iTunesPictureFrame());

    guide.cleanItunes = true;
    EXPECT_EQ(guide.prompt(),
              "Twinsift moves all iTunes duplicates to Varnel Duplicate Media. You can use iTunes to complete the "
              "removal. As shown below:");
    EXPECT_EQ(guide.iTunesPictureFrame(), (TWRect{140, 20, 240, 344}));
    EXPECT_FALSE(guide.photosPictureFrame());

    guide.cleanPhotos = true;
    EXPECT_EQ(guide.prompt(),
              "Twinsift moves all your photos duplicates to Varnel Duplicate Folder - Varnel Duplicate Album. iTunes "
              "duplicates to Varnel Duplicate Media. You can use Photos and iTunes to complete the removal. As shown "
              "below:");
    EXPECT_EQ(guide.photosPictureFrame(), (TWRect{20, 20, 240, 344}));
    EXPECT_EQ(guide.iTunesPictureFrame(), (TWRect{280, 20, 240, 344}));

    guide.cleanItunes = false;
    EXPECT_EQ(guide.prompt(),
              "Twinsift moves all photos duplicates to Varnel Duplicate Folder >> Varnel Duplicate Album. You can use "
              "Photos to complete the removal. As shown below:");
    EXPECT_EQ(guide.photosPictureFrame(), (TWRect{140, 20, 240, 344}));
    EXPECT_FALSE(guide.iTunesPictureFrame());
}

TEST(CleanMediaLibraryGuide, NamedLibrariesSayWhatWasDoneThere) {
    TWCleanMediaLibraryGuide guide{
        true, false, kTWDuplicateFolderName, kTWDuplicateAlbumName, kTWDuplicatePlaylistName, "Shotwell", ""};
    EXPECT_EQ(
        guide.prompt(),
        "Twinsift tagged all photos duplicates Varnel Duplicate Folder >> Varnel Duplicate Album in Shotwell. You "
        "can use Shotwell to complete the removal. As shown below:");
    guide.cleanItunes = true;
    guide.musicLibraryName = "Rhythmbox";
    EXPECT_EQ(guide.prompt(),
              "Twinsift tagged all your photos duplicates Varnel Duplicate Folder - Varnel Duplicate Album in "
              "Shotwell. Rhythmbox duplicates are in the playlist Varnel Duplicate Media. You can use Shotwell and "
              "Rhythmbox to complete the removal. As shown below:");
    guide.cleanPhotos = false;
    EXPECT_EQ(guide.prompt(),
              "Twinsift added all Rhythmbox duplicates to the playlist Varnel Duplicate Media. You can use Rhythmbox "
              "to complete the removal. As shown below:");
}

}  // namespace
