#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/Log.h"
#include "platform/SafeFile.h"

namespace {

TEST(SafeFileTest, ReadsARegularFileWholeAndAtAnOffset) {
    twtest::TempDir dir;
    const std::string content = twtest::randomBytes(200000, 7);
    auto file = tw::SafeFile::open(dir.write("data.bin", content));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), content.size());
    auto all = file->readAll();
    ASSERT_TRUE(all);
    EXPECT_EQ(std::string(all->begin(), all->end()), content);
    auto limited = file->readAll(10);
    ASSERT_TRUE(limited);
    EXPECT_EQ(limited->size(), 10u);
    char tail[16];
    EXPECT_EQ(file->readAt(content.size() - 4, tail, sizeof tail), 4);  // stops at the end
    EXPECT_EQ(std::string(tail, 4), content.substr(content.size() - 4));
    auto stream = file->openStream();
    ASSERT_TRUE(stream);
    EXPECT_EQ(fgetc(stream.get()), static_cast<unsigned char>(content[0]));
}

TEST(SafeFileTest, RefusesAFifoWithoutBlocking) {
    twtest::TempDir dir;
    // No writer exists: a blocking open would hang this test forever.
    int error = 0;
    EXPECT_FALSE(tw::SafeFile::open(dir.fifo("pipe"), &error));
    EXPECT_EQ(error, EINVAL);
}

TEST(SafeFileTest, RefusesSymbolicLinksFoldersAndMissingFiles) {
    twtest::TempDir dir;
    dir.write("target", "content");
    int error = 0;
    EXPECT_FALSE(tw::SafeFile::open(dir.symlink(dir / "target", "link"), &error));
    EXPECT_EQ(error, ELOOP);
    EXPECT_FALSE(tw::SafeFile::open(dir.mkdir("folder"), &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(tw::SafeFile::open(dir / "missing", &error));
    EXPECT_EQ(error, ENOENT);
}

// Inside a folder scope a name is opened relative to the held folder: the folder that
// was walked, even when another one has taken its path since; links, FIFOs and folders
// are refused as by path, and the descriptor reads like any other.
TEST(SafeFileTest, InsideAFolderScopeOpensNamesInTheHeldFolderWithTheSameChecks) {
    twtest::TempDir dir;
    const std::string folder = dir.mkdir("walked");
    dir.write("walked/file", "held");
    dir.write("walked/inner/deep", "deep");
    dir.symlink(dir / "walked/file", "walked/link");
    dir.fifo("walked/pipe");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(rename(folder.c_str(), (dir / "moved").c_str()), 0);
    dir.write("walked/file", "other");
    dir.write("walked/inner/deep", "other deep");
    {
        tw::SafeFile::FolderScope scope(fd, folder);
        auto file = tw::SafeFile::open(folder + "/file");
        ASSERT_TRUE(file);
        auto content = file->readAll();
        ASSERT_TRUE(content);
        EXPECT_EQ(std::string(content->begin(), content->end()), "held");
        EXPECT_EQ(fcntl(file->fd(), F_GETFL) & O_NONBLOCK, 0);
        // Deeper paths are not the folder's own entries: looked up whole.
        auto deep = tw::SafeFile::open(folder + "/inner/deep");
        ASSERT_TRUE(deep);
        EXPECT_EQ(deep->size(), std::string("other deep").size());
        int error = 0;
        EXPECT_FALSE(tw::SafeFile::open(folder + "/link", &error));
        EXPECT_EQ(error, ELOOP);
        EXPECT_FALSE(tw::SafeFile::open(folder + "/pipe", &error));
        EXPECT_EQ(error, EINVAL);
        EXPECT_FALSE(tw::SafeFile::open(folder + "/..", &error));
        EXPECT_EQ(error, EINVAL);
    }
    // Outside the scope the path names the new folder again.
    auto file = tw::SafeFile::open(folder + "/file");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 5u);
    ::close(fd);
}

TEST(SafeFileTest, AFolderScopeAnswersOnlyForNamesRightInsideItsFolder) {
    const std::string folder = "/home/user/Docs";
    tw::SafeFile::FolderScope scope(-1, folder);
    EXPECT_STREQ(scope.nameInside("/home/user/Docs/a.txt"), "a.txt");
    EXPECT_EQ(scope.nameInside("/home/user/Docs"), nullptr);
    EXPECT_EQ(scope.nameInside("/home/user/Docs/"), nullptr);
    EXPECT_EQ(scope.nameInside("/home/user/Docs/sub/a.txt"), nullptr);
    EXPECT_EQ(scope.nameInside("/home/user/Docsx/a.txt"), nullptr);
    EXPECT_EQ(scope.nameInside("/home/user/Docs/."), nullptr);
    const std::string root = "/";
    tw::SafeFile::FolderScope rootScope(-1, root);
    EXPECT_STREQ(rootScope.nameInside("/etc"), "etc");
    EXPECT_EQ(rootScope.nameInside("/etc/passwd"), nullptr);
    // The innermost scope answers; the outer one again once it is gone.
    EXPECT_EQ(scope.nameInside("/etc"), nullptr);
}

TEST(SafeFileTest, UnreadableFileIsRefusedForAnUnprivilegedUser) {
    twtest::TempDir dir;
    const std::string path = dir.write("secret", "x");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    int rc = twtest::runAsUnprivileged([&] {
        int error = 0;
        return !tw::SafeFile::open(path, &error) && error == EACCES ? 0 : 1;
    });
    EXPECT_EQ(rc, 0);
}

TEST(LogTest, CaptureCollectsWholeLinesAndEscapesNewlines) {
    tw::LogCapture capture;
    const unsigned long before = tw::logLineCount();
    tw::log("plain %d", 42);
    tw::log("name with\nnewline");
    tw::log("%s", std::string(3000, 'y').c_str());  // longer than the stack buffer
    EXPECT_EQ(tw::logLineCount() - before, 3u);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "plain 42");
    EXPECT_EQ(lines[1], "name with\\nnewline");
    EXPECT_EQ(lines[2], std::string(3000, 'y'));
    EXPECT_EQ(capture.count("plain 42"), 1u);
    EXPECT_TRUE(capture.contains("with\\n"));
    capture.clear();
    EXPECT_TRUE(capture.lines().empty());
}

TEST(LogTest, LinesFromManyThreadsArriveWhole) {
    tw::LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) tw::log("thread %d line %d", t, i);
        });
    for (auto& t : threads) t.join();
    auto lines = capture.lines();
    EXPECT_EQ(lines.size(), 400u);
    EXPECT_EQ(capture.count("thread 3 line 99"), 1u);
}

}  // namespace
