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
