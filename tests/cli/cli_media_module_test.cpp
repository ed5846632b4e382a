// twinsift-cli maps the image libraries only when a scan meets an image: the dynamic
// loader's own trace (LD_DEBUG=files) tells which objects a run opened.

#include <gd.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "CliRunner.h"
#include "TestSupport.h"

namespace {

std::string pngBytes(int compression) {
    gdImagePtr image = gdImageCreateTrueColor(40, 30);
    gdImageFilledRectangle(image, 0, 0, 19, 14, gdTrueColor(20, 160, 90));
    std::string bytes = twtest::pngBytesOf(image, compression);
    gdImageDestroy(image);
    return bytes;
}

// Each group's paths and whether it is one of similar images.
using Groups = std::set<std::pair<std::set<std::string>, bool>>;

Groups groupsOf(const twtest::CliResult& run) {
    const nlohmann::json result = nlohmann::json::parse(run.out, nullptr, false);
    Groups groups;
    if (result.is_discarded()) return groups;
    for (const auto& category : result["categories"])
        for (const auto& group : category["groups"]) {
            std::set<std::string> paths;
            for (const auto& file : group["files"]) paths.insert(file["path"].get<std::string>());
            groups.insert({paths, group["similar"].get<bool>()});
        }
    return groups;
}

class CliMediaModule : public ::testing::Test {
protected:
    twtest::TempDir config_{"twinsift-cli-config"};
    twtest::TempDir tree_{"twinsift-cli-tree"};

    twtest::CliResult scan() const {
        return twtest::runCli({"scan", "--json", tree_.path()},
                              {{"XDG_CONFIG_HOME", config_.path()}, {"LD_DEBUG", "files"}});
    }
    static bool opened(const twtest::CliResult& run, const std::string& object) {
        return run.err.find("file=") != std::string::npos && run.err.find(object) != std::string::npos;
    }
};

TEST_F(CliMediaModule, ScanWithoutImagesNeverLoadsTheImageLibraries) {
    const std::string a = tree_.write("a.txt", "same words");
    const std::string b = tree_.write("sub/b.txt", "same words");
    tree_.write("song.mp3", "not really a song");
    const auto run = scan();
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    ASSERT_TRUE(opened(run, "libc.so")) << "the loader's trace is missing:\n" << run.err.substr(0, 2000);
    EXPECT_FALSE(opened(run, "libtwinsift_media")) << run.err;
    EXPECT_FALSE(opened(run, "libgd.so")) << run.err;
    EXPECT_EQ(groupsOf(run), (Groups{{{a, b}, false}})) << run.out;
}

TEST_F(CliMediaModule, ScanWithImagesLoadsThemAndGroupsTheImages) {
    // Two copies, and the same pixels in other bytes: one group of similar images.
    const std::string picture = pngBytes(1);
    const std::string one = tree_.write("one.png", picture);
    const std::string two = tree_.write("sub/two.png", picture);
    const std::string three = tree_.write("three.png", pngBytes(9));
    const auto run = scan();
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(opened(run, "libtwinsift_media")) << run.err.substr(0, 2000);
    EXPECT_TRUE(opened(run, "libgd.so")) << run.err.substr(0, 2000);
    EXPECT_EQ(run.err.find("Image support is unavailable"), std::string::npos) << run.err;
    EXPECT_EQ(groupsOf(run), (Groups{{{one, two, three}, true}})) << run.out;
}

}  // namespace
