#include "platform/TrashEntry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include "GioDataHome.h"
#include "TestSupport.h"
#include "platform/Trash.h"

namespace {

std::optional<tw::TrashEntry> trash(const std::string& path) {
    std::optional<tw::TrashEntry> entry;
    const tw::Status status = tw::Trash::moveToTrash(path, &entry);
    EXPECT_TRUE(status) << status.message();
    EXPECT_TRUE(entry.has_value()) << path;
    return entry;
}

TEST(TrashEntryTest, RestoresTheItemToItsPlaceAndDropsTheRecord) {
    twtest::TempDir dir;
    const std::string path = dir.write("notes/plan one.txt", "plan");
    const auto entry = trash(path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->originalPath(), path);
    EXPECT_EQ(entry->trashedPath().rfind(twtest::gioDataHome() + "/Trash/files/", 0), 0u);
    EXPECT_FALSE(twtest::exists(path));

    const tw::Status status = entry->restore();
    ASSERT_TRUE(status) << status.message();
    EXPECT_EQ(twtest::readFile(path), "plan");
    EXPECT_FALSE(twtest::exists(entry->trashedPath()));
    EXPECT_FALSE(twtest::exists(entry->infoPath()));
}

TEST(TrashEntryTest, ItemsOfOneNameEachGoBackToTheirOwnFolder) {
    // The Trash renames the second and third "photo.jpg"; each entry still finds its own
    // item by its identity, also after the first one left the Trash again.
    twtest::TempDir dir;
    const std::string a = dir.write("a/photo.jpg", "from a");
    const std::string b = dir.write("b/photo.jpg", "from b");
    const std::string c = dir.write("c/photo.jpg", "from c");
    const auto ea = trash(a);
    const auto eb = trash(b);
    ASSERT_TRUE(ea && eb);
    EXPECT_NE(ea->trashedPath(), eb->trashedPath());
    ASSERT_TRUE(ea->restore());
    const auto ec = trash(c);
    ASSERT_TRUE(ec);
    ASSERT_TRUE(ec->restore());
    ASSERT_TRUE(eb->restore());
    EXPECT_EQ(twtest::readFile(a), "from a");
    EXPECT_EQ(twtest::readFile(b), "from b");
    EXPECT_EQ(twtest::readFile(c), "from c");
}

TEST(TrashEntryTest, RefusesWhereAFileOfThatNameAppearedAndKeepsBoth) {
    twtest::TempDir dir;
    const std::string path = dir.write("report.pdf", "old");
    const auto entry = trash(path);
    ASSERT_TRUE(entry);
    dir.write("report.pdf", "new");

    const tw::Status status = entry->restore();
    EXPECT_FALSE(status);
    EXPECT_EQ(status.error, EEXIST);
    EXPECT_EQ(status.path, path);
    EXPECT_EQ(twtest::readFile(path), "new");
    EXPECT_EQ(twtest::readFile(entry->trashedPath()), "old");
    EXPECT_TRUE(twtest::exists(entry->infoPath()));
    // A link of that name counts too, even one that points nowhere.
    std::filesystem::remove(path);
    dir.symlink(dir / "nowhere", "report.pdf");
    EXPECT_EQ(entry->restore().error, EEXIST);
}

TEST(TrashEntryTest, RefusesWhenTheTrashNoLongerHoldsTheItem) {
    twtest::TempDir dir;
    const std::string path = dir.write("gone.txt", "x");
    const auto entry = trash(path);
    ASSERT_TRUE(entry);
    // Emptied, and another item of that name trashed since: not ours to restore.
    std::filesystem::remove(entry->trashedPath());
    std::filesystem::remove(entry->infoPath());
    const std::string other = dir.write("elsewhere/gone.txt", "other");
    ASSERT_TRUE(trash(other));
    const tw::Status status = entry->restore();
    EXPECT_FALSE(status);
    EXPECT_EQ(status.error, ENOENT);
    EXPECT_FALSE(twtest::exists(path));
}

TEST(TrashEntryTest, MakesAMissingFolderAgain) {
    twtest::TempDir dir;
    const std::string path = dir.write("deep/er/song.mp3", "la");
    const auto entry = trash(path);
    ASSERT_TRUE(entry);
    std::filesystem::remove_all(dir / "deep");
    ASSERT_TRUE(entry->restore());
    EXPECT_EQ(twtest::readFile(path), "la");
}

TEST(TrashEntryTest, ReadsRecordedPathsAbsoluteRelativeAndEscaped) {
    const std::string absolute = "[Trash Info]\nPath=/home/u/My%20Files/a%25b.txt\nDeletionDate=2026-01-01T10:00:00\n";
    EXPECT_EQ(tw::TrashEntry::recordedPath(absolute, ""), "/home/u/My Files/a%b.txt");
    EXPECT_EQ(tw::TrashEntry::recordedPath("[Trash Info]\r\nPath=photos/x.jpg\r\n", "/media/usb"),
              "/media/usb/photos/x.jpg");
    // A relative path means nothing in the home Trash; a Path outside the section is not the record.
    EXPECT_EQ(tw::TrashEntry::recordedPath("[Trash Info]\nPath=photos/x.jpg\n", ""), std::nullopt);
    EXPECT_EQ(tw::TrashEntry::recordedPath("[Other]\nPath=/x\n", ""), std::nullopt);
    EXPECT_EQ(tw::TrashEntry::recordedPath("", ""), std::nullopt);
}

}  // namespace
