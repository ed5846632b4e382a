// The image module cannot be loaded (absent, or not a shared object): images read as
// unreadable ones do, the failure is logged once, and nothing crashes.
//
// The module is looked for once per process, so each case runs in a forked child of a
// process that never looked for it (nothing else in this binary reads an image).

#include <gd.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "TestSupport.h"
#include "files/TWImageHeader.h"
#include "platform/Log.h"
#include "platform/MediaModule.h"
#include "similar/ZPImageDecoder.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPSimilarContext.h"

namespace {

const char kLoadFailure[] = "Image support is unavailable, images are treated as unreadable: cannot load";

// Runs `body` in a forked child; its gtest failures print there and come back as a
// failed exit status.
void inChild(const std::function<void()>& body) {
    fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        body();
        fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died (signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's checks failed (see above)";
}

std::string pngBytes(int compression) {
    gdImagePtr image = gdImageCreateTrueColor(32, 24);
    gdImageFilledRectangle(image, 0, 0, 15, 11, gdTrueColor(200, 30, 30));
    std::string bytes = twtest::pngBytesOf(image, compression);
    gdImageDestroy(image);
    return bytes;
}

class MissingMediaModule : public ::testing::Test {
protected:
    twtest::TempDir dir_{"twinsift-media"};

    // Every image operation behaves as for an unreadable image; one log line tells why,
    // naming `place` and the loader's `reason`, however many threads meet images at once.
    void expectImagesUnreadable(const std::string& place, const std::string& reason) {
        // The same pixels in different bytes: similar to each other when images are read.
        const std::string a = dir_.write("a.png", pngBytes(1));
        const std::string b = dir_.write("b.png", pngBytes(9));
        ASSERT_NE(twtest::readFile(a), twtest::readFile(b));
        tw::LogCapture log;

        std::vector<std::thread> workers;
        for (int i = 0; i < 8; ++i)
            workers.emplace_back([&, i] {
                EXPECT_TRUE(TWImageHeader::pixelSizeOfFile(i % 2 ? a : b).isZero());
                EXPECT_EQ(tw::mediaModule(), nullptr);
            });
        for (auto& worker : workers) worker.join();

        ZPSimilarContext context;
        EXPECT_FALSE(ZPImageSignature::initWithPathFile(a, context));
        EXPECT_EQ(log.count("Unable to read [" + a + "], please check image"), 1u);
        EXPECT_FALSE(context.imageSimilarTo(a, b));
        auto file = tw::SafeFile::open(a);
        ASSERT_TRUE(file);
        EXPECT_FALSE(zpDecodeImage(*file, a));
        // The library context stays unfilled rather than half made.
        EXPECT_EQ(context.puzzleContext()->magic, 0u);

        size_t failures = 0;
        for (const std::string& line : log.lines()) {
            if (line.find(kLoadFailure) == std::string::npos) continue;
            ++failures;
            EXPECT_NE(line.find(place), std::string::npos) << line;
            EXPECT_NE(line.find(reason), std::string::npos) << line;
        }
        EXPECT_EQ(failures, 1u);
        // Looked for once: the places can no longer be changed.
        EXPECT_FALSE(tw::setMediaModulePathsForTesting({place}));
    }
};

TEST_F(MissingMediaModule, AbsentModuleLeavesImagesUnreadable) {
    const std::string absent = dir_.path() + "/absent/libtwinsift_media.so";
    inChild([&] {
        ASSERT_TRUE(tw::setMediaModulePathsForTesting({absent}));
        expectImagesUnreadable(absent, "No such file");
    });
}

TEST_F(MissingMediaModule, FileThatIsNoSharedObjectLeavesImagesUnreadable) {
    const std::string broken = dir_.write("libtwinsift_media.so", std::string(4096, 'x'));
    inChild([&] {
        ASSERT_TRUE(tw::setMediaModulePathsForTesting({broken}));
        expectImagesUnreadable(broken, "invalid ELF header");
    });
}

TEST_F(MissingMediaModule, NowhereToLookIsReportedToo) {
    inChild([&] {
        ASSERT_TRUE(tw::setMediaModulePathsForTesting({}));
        expectImagesUnreadable("no place to look for it", "no place");
    });
}

// Where an installed executable finds it, then the build's copy.
TEST(MediaModuleCandidates, NextToTheExecutableFirstThenTheBuildTree) {
    const auto candidates = tw::mediaModuleCandidates();
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_TRUE(candidates[0].ends_with("/tests/../lib/twinsift/libtwinsift_media.so")) << candidates[0];
    EXPECT_TRUE(candidates[1].starts_with("/")) << candidates[1];
    EXPECT_EQ(access(candidates[1].c_str(), R_OK), 0) << candidates[1];
}

}  // namespace
