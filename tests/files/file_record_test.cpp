// Creation, path probes, identity and texts of a file record.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

#include "TestSupport.h"
#include "files/TWFileUtility.h"

namespace {

// HOME pointed elsewhere for the life of the object.
class ScopedHome {
public:
    explicit ScopedHome(const std::string& home) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~ScopedHome() {
        if (old_) {
            setenv("HOME", old_->c_str(), 1);
        } else {
            unsetenv("HOME");
        }
    }

private:
    std::optional<std::string> old_;
};

TEST(FileRecord, TildeAndLinksAreResolvedAtCreation) {
    twtest::TempDir dir;
    std::string real = dir.mkdir("real");
    dir.write("real/photo.JPG", "1234");
    dir.symlink(real, "home/link");
    ScopedHome home(dir / "home");
    auto record = TWFileUtility::initWithPath("~/link/photo.JPG");
    char* canonical = realpath((dir / "real/photo.JPG").c_str(), nullptr);
    ASSERT_NE(canonical, nullptr);
    EXPECT_EQ(record->filePath(), canonical);
    free(canonical);
    EXPECT_EQ(record->fileSize(), 4u);
    EXPECT_EQ(record->category(), TWCategory_images);
    EXPECT_EQ(record->fileName(), "photo");
    EXPECT_EQ(record->fileType(), TWFileTypeRegular);
    EXPECT_TRUE(record->isRegularFile());
    // The date is that of the given path, whose "~" has to be expanded to be read.
    EXPECT_TRUE(record->createTime().has_value());
    EXPECT_EQ(record->sourceType(), kTWFileSystemSourceIdentifier);
    EXPECT_FALSE(record->isChecked());
}

TEST(FileRecord, UnreadablePathGivesAnEmptyRecord) {
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir / "missing/file.mp3");
    EXPECT_EQ(record->fileSize(), 0u);
    EXPECT_EQ(record->fileSizeOnDisk(), 0u);
    EXPECT_EQ(record->fileType(), TWFileTypeRegular);
    EXPECT_FALSE(record->createTime().has_value());
    EXPECT_FALSE(record->hasIdentity());
    EXPECT_EQ(record->descriptionOfCreateTime(), "");
    EXPECT_EQ(record->category(), TWCategory_music);
    EXPECT_EQ(TWFileUtility::sizeOfPath(dir / "missing"), 0u);
    EXPECT_EQ(TWFileUtility::sizeOfPathOnDisk(dir / "missing"), 0u);
}

TEST(FileRecord, SizesComeFromTheItemItself) {
    twtest::TempDir dir;
    std::string file = dir.write("data.bin", twtest::randomBytes(10000, 1));
    std::string link = dir.symlink(file, "link.bin");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    auto record = TWFileUtility::initWithPath(file);
    EXPECT_EQ(record->fileSize(), 10000u);
    EXPECT_EQ(record->fileSizeOnDisk(), static_cast<uint64_t>(st.st_blocks) * 512);
    EXPECT_EQ(TWFileUtility::sizeOfPath(link), file.size());  // the link's own length
    // A folder reports its own entry, never its contents summed.
    struct stat folder {};
    ASSERT_EQ(lstat(dir.path().c_str(), &folder), 0);
    EXPECT_EQ(TWFileUtility::sizeOfPath(dir.path()), static_cast<uint64_t>(folder.st_size));
}

TEST(FileRecord, KindOfPath) {
    twtest::TempDir dir;
    std::string app = dir.mkdir("Tool.app");
    std::string upper = dir.mkdir("Plug.BUNDLE");
    std::string textFolder = dir.mkdir("notes.txt");
    std::string linkToFolder = dir.symlink(textFolder, "link");
    std::string file = dir.write("a.txt", "x");
    std::string library = dir.write("libx.dylib", "x");
    std::string fifo = dir.fifo("pipe");
    EXPECT_EQ(TWFileUtility::fileTypeOf(app), TWFileTypePackage);
    EXPECT_EQ(TWFileUtility::fileTypeOf(upper), TWFileTypePackage);
    EXPECT_EQ(TWFileUtility::fileTypeOf(textFolder), TWFileTypeDirectory);
    EXPECT_EQ(TWFileUtility::fileTypeOf(linkToFolder), TWFileTypeRegular);
    EXPECT_EQ(TWFileUtility::fileTypeOf(fifo), TWFileTypeRegular);
    EXPECT_FALSE(TWFileUtility::fileIsDirectory(linkToFolder));
    EXPECT_FALSE(TWFileUtility::fileIsPackage(dir.write("fake.app", "x")));
    EXPECT_FALSE(TWFileUtility::fileIsRegular(fifo));
    EXPECT_FALSE(TWFileUtility::fileIsRegular(library));
    EXPECT_TRUE(TWFileUtility::fileIsRegular(dir.write("libx.DYLIB", "x")));  // the test is case-sensitive
    EXPECT_TRUE(TWFileUtility::fileIsRegular(file));
    EXPECT_FALSE(TWFileUtility::fileIsRegular(dir / "missing"));
}

TEST(FileRecord, RootOwnedFilesAreExcludedOnlyForAnUnprivilegedProcess) {
    ASSERT_EQ(geteuid(), 0u) << "the machines run the suite as root";
    twtest::TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    std::string rootFile = dir.write("root.txt", "x");
    std::string userFile = dir.write("user.txt", "x");
    ASSERT_EQ(chown(userFile.c_str(), twtest::unprivilegedUid(), twtest::unprivilegedGid()), 0);
    // Running as root, everything a user made is root's: nothing may be excluded for it.
    EXPECT_TRUE(TWFileUtility::fileIsRegular(rootFile));
    int rc = twtest::runAsUnprivileged([&] {
        if (TWFileUtility::fileIsRegular(rootFile)) return 1;
        if (TWFileUtility::fileTypeOf(rootFile) != TWFileTypeRegular) return 2;
        if (!TWFileUtility::fileIsRegular(userFile)) return 3;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(FileRecord, IdentityFollowsDeviceAndInode) {
    twtest::TempDir dir;
    std::string file = dir.write("a.txt", "same");
    std::string hard = dir.hardlink("a.txt", "b.txt");
    auto a = TWFileUtility::initWithPath(file);
    auto b = TWFileUtility::initWithPath(hard);
    auto c = TWFileUtility::initWithPath(dir.write("c.txt", "same"));
    auto aAgain = TWFileUtility::initWithPath(dir.symlink(file, "link.txt"));
    EXPECT_TRUE(a->isSameFile(*b));
    EXPECT_FALSE(a->isSameFile(*c));
    EXPECT_TRUE(a->isSameFile(*aAgain));
    // Records without identity are the same file only by their path.
    auto gone1 = TWFileUtility::initWithPath(dir / "gone");
    auto gone2 = TWFileUtility::initWithPath(dir / "gone");
    auto gone3 = TWFileUtility::initWithPath(dir / "other-gone");
    EXPECT_TRUE(gone1->isSameFile(*gone2));
    EXPECT_FALSE(gone1->isSameFile(*gone3));
    EXPECT_FALSE(gone1->isSameFile(*a));
}

TEST(FileRecord, PathComponents) {
    EXPECT_EQ(TWFileUtility::lastPathComponent("/a/b.tar.gz"), "b.tar.gz");
    EXPECT_EQ(TWFileUtility::lastPathComponent("/a/dir/"), "dir");
    EXPECT_EQ(TWFileUtility::lastPathComponent("/"), "/");
    EXPECT_EQ(TWFileUtility::pathExtension("/a/b.tar.gz"), "gz");
    EXPECT_EQ(TWFileUtility::pathExtension("/a.d/noext"), "");
    EXPECT_EQ(TWFileUtility::pathExtension("/a/.DS_Store"), "DS_Store");
    twtest::TempDir dir;
    // Names that are all extension keep it, so that two of them never share an empty name.
    EXPECT_EQ(TWFileUtility::initWithPath(dir.write(".profile", "x"))->fileName(), ".profile");
    EXPECT_EQ(TWFileUtility::initWithPath(dir.write("archive.tar.gz", "x"))->fileName(), "archive.tar");
    EXPECT_EQ(TWFileUtility::initWithPath(dir.write("README", "x"))->fileName(), "README");
}

// A locale with a decimal comma, built for the test: the machines ship only C and POSIX.
class CommaLocale {
public:
    CommaLocale() : dir_("twinsift-locale") {
        dir_.write("source",
                   "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\ngrouping 3\n"
                   "END LC_NUMERIC\n");
        std::string command = "I18NPATH=/nonexistent localedef -c -i '" + dir_.path() + "/source' '" + dir_.path() +
                              "/twcomma' >/dev/null 2>&1";
        (void)std::system(command.c_str());
        setenv("LOCPATH", dir_.path().c_str(), 1);
        ok_ = std::setlocale(LC_NUMERIC, "twcomma") != nullptr;
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        unsetenv("LOCPATH");
    }
    bool ok() const { return ok_; }

private:
    twtest::TempDir dir_;
    bool ok_ = false;
};

TEST(FileRecord, SizeText) {
    EXPECT_EQ(TWFileUtility::stringWithSize(0), "0 B");
    EXPECT_EQ(TWFileUtility::stringWithSize(1023), "1023 B");
    EXPECT_EQ(TWFileUtility::stringWithSize(1024), "1 KB");
    EXPECT_EQ(TWFileUtility::stringWithSize(1025), "1 KB");
    EXPECT_EQ(TWFileUtility::stringWithSize(1536), "1.5 KB");
    EXPECT_EQ(TWFileUtility::stringWithSize(1280), "1.25 KB");
    EXPECT_EQ(TWFileUtility::stringWithSize(1048576), "1 MB");
    EXPECT_EQ(TWFileUtility::stringWithSize(1073741824), "1 GB");
    EXPECT_EQ(TWFileUtility::stringWithSize(1288490189), "1.2 GB");
    // No unit above GB and no grouping.
    EXPECT_EQ(TWFileUtility::stringWithSize(5ull << 40), "5120 GB");
    {
        CommaLocale comma;
        ASSERT_TRUE(comma.ok()) << "could not build a locale with a decimal comma";
        EXPECT_EQ(TWFileUtility::stringWithSize(1536), "1,5 KB");
        EXPECT_EQ(TWFileUtility::stringWithSize(5ull << 40), "5120 GB");
        EXPECT_EQ(TWFileUtility::stringWithSize(3ull << 20), "3 MB");
    }
    EXPECT_EQ(TWFileUtility::stringWithSize(1536), "1.5 KB");
}

TEST(FileRecord, DisplayTexts) {
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("song.mp3", std::string(1536, 'x')));
    EXPECT_EQ(record->formatSize(), "1.5 KB");
    EXPECT_EQ(record->descriptionOfCategory(), "Music");
    ASSERT_TRUE(record->createTime().has_value());
    std::time_t seconds = std::chrono::system_clock::to_time_t(*record->createTime());
    struct tm local {};
    localtime_r(&seconds, &local);
    char expected[128];
    std::strftime(expected, sizeof expected, "%x %X", &local);
    EXPECT_EQ(record->descriptionOfCreateTime(), expected);
    // The creation time is recent, not the epoch or a stale value.
    auto age = std::chrono::system_clock::now() - *record->createTime();
    EXPECT_LT(std::chrono::abs(age), std::chrono::minutes(10));
    record->setIsChecked(true);
    EXPECT_TRUE(record->isChecked());
}

}  // namespace
