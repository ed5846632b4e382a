// twinsift-cli remove on real files, with a program run between each check and its act
// (TWINSIFT_TEST_BEFORE_ACT) where a racing process would strike: the last copy of a
// content is never removed, and what the user did not choose is never touched.

#include <gd.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "CliRunner.h"
#include "TestSupport.h"

namespace {

using twtest::exists;
using twtest::readFile;
using twtest::runCli;

// The same picture in other bytes (another compression level or scale) is a look-alike.
std::string pictureBytes(int compression, int scale = 1) {
    gdImagePtr image = gdImageCreateTrueColor(48 * scale, 32 * scale);
    gdImageFilledRectangle(image, 0, 0, 24 * scale - 1, 16 * scale - 1, gdTrueColor(200, 40, 70));
    gdImageFilledRectangle(image, 24 * scale, 16 * scale, 48 * scale - 1, 32 * scale - 1, gdTrueColor(30, 90, 220));
    std::string bytes = twtest::pngBytesOf(image, compression);
    gdImageDestroy(image);
    return bytes;
}

using Groups = std::set<std::set<std::string>>;

Groups groupsOf(const std::string& out) {
    Groups groups;
    const auto result = nlohmann::json::parse(out, nullptr, false);
    if (result.is_discarded()) return groups;
    for (const auto& category : result["categories"])
        for (const auto& group : category["groups"]) {
            std::set<std::string> paths;
            for (const auto& file : group["files"]) paths.insert(file["path"].get<std::string>());
            groups.insert(paths);
        }
    return groups;
}

class CliRemoveSafety : public ::testing::Test {
protected:
    twtest::TempDir config{"twinsift-cli-config"};
    twtest::TempDir data{"twinsift-cli-data"};
    twtest::TempDir tree{"twinsift-cli-tree"};

    // An executable shell script run with the path of each file about to be acted on.
    std::string hook(const std::string& body) const {
        const std::string path = config.write("hook.sh", "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
        return path;
    }
    twtest::CliResult remove(std::vector<std::string> args, const std::string& hookPath = "") const {
        args.insert(args.begin(), {"remove", "--yes", "--quiet"});
        args.push_back(tree.path());
        std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", config.path()}, {"XDG_DATA_HOME", data.path()}};
        if (!hookPath.empty()) env["TWINSIFT_TEST_BEFORE_ACT"] = hookPath;
        return runCli(args, env);
    }
};

// Without --include-similar each exact sub-group of a similar group keeps one copy, and
// the look-alike is left alone; the copy goes only while its twin still has its bytes.
TEST_F(CliRemoveSafety, AnExactCopyOfAPictureStaysWhenItsTwinGoesAtTheLastMoment) {
    const std::string picture = pictureBytes(1);
    const std::string one = tree.write("one.png", picture);
    const std::string two = tree.write("sub/two.png", picture);
    const std::string alike = tree.write("alike.png", pictureBytes(9));
    // Whichever of the two is checked, its twin is deleted (or overwritten) just before.
    for (const std::string& change : {std::string("rm -f"), "cp \"" + alike + "\""}) {
        SCOPED_TRACE(change);
        const std::string script = "case \"$1\" in\n  */one.png) " + change + " \"" + two + "\" ;;\n  */two.png) " +
                                   change + " \"" + one + "\" ;;\nesac";
        auto r = remove({"--to", "delete"}, hook(script));
        EXPECT_EQ(r.exitStatus, 1) << r.err;
        EXPECT_NE(r.err.find("no kept file of its group has its content now"), std::string::npos) << r.err;
        EXPECT_TRUE((exists(one) && readFile(one) == picture) || (exists(two) && readFile(two) == picture));
        EXPECT_TRUE(exists(alike));
        tree.write("one.png", picture);
        tree.write("sub/two.png", picture);
    }

    auto r = remove({"--to", "delete"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(exists(one), exists(two));
    EXPECT_TRUE(exists(alike));
}

// The scan's best-picture rule keeps the large picture and checks both small copies;
// without --include-similar the large one and one small copy stay: the image rule, run
// again on the exact sub-group, falls back on the rule for files (smart name).
TEST_F(CliRemoveSafety, TheImageRuleIsRunAgainOnEachExactSubGroup) {
    const std::string large = tree.write("large.png", pictureBytes(1, 2));
    const std::string small = tree.write("small.png", pictureBytes(1));
    const std::string copy = tree.write("sub/small copy.png", pictureBytes(1));
    auto listed = runCli({"scan", "--json", tree.path()}, {{"XDG_CONFIG_HOME", config.path()}});
    ASSERT_EQ(listed.exitStatus, 0) << listed.err;
    ASSERT_EQ(groupsOf(listed.out), (Groups{{large, small, copy}})) << listed.out;
    auto similar = remove({"--to", "delete", "--include-similar", "--dry-run"});
    EXPECT_NE(similar.err.find("2 of the checked files are only similar"), std::string::npos) << similar.err;

    auto r = remove({"--to", "delete"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(exists(large));
    EXPECT_TRUE(exists(small));
    EXPECT_FALSE(exists(copy));
}

TEST_F(CliRemoveSafety, TheSummarySaysHowManyCheckedImagesAreOnlySimilar) {
    tree.write("one.png", pictureBytes(1));
    tree.write("two.png", pictureBytes(9));
    auto r = remove({"--to", "delete", "--include-similar", "--dry-run"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("1 of the checked files are only similar to the images kept"), std::string::npos) << r.err;
}

// A file replaced after the scan is not the file the scan saw, whatever its content.
TEST_F(CliRemoveSafety, ACheckedFileReplacedAtTheLastMomentStays) {
    const std::string a = tree.write("a/notes.txt", "the same words");
    const std::string b = tree.write("b/notes.txt", "the same words");
    auto r = remove({"--mode", "name", "--to", "trash"}, hook("cp \"$1\" \"$1.new\" && mv \"$1.new\" \"$1\""));
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_NE(r.err.find("it was replaced after the scan"), std::string::npos) << r.err;
    EXPECT_TRUE(exists(a) && exists(b));
}

// Name mode compares contents before asking; a permanent deletion leaves the files with
// other content alone unless allowed, and a trash takes them after saying so.
TEST_F(CliRemoveSafety, InNameModeFilesWithOtherContentAreLeftAloneByADeletion) {
    const auto write = [&] {
        tree.write("a/notes.txt", "the same words");
        tree.write("b/notes.txt", "the same words");
        tree.write("a/report.txt", "version one");
        tree.write("b/report.txt", "version two");
    };
    const auto count = [&](const std::string& name) {
        return int(exists(tree / ("a/" + name))) + int(exists(tree / ("b/" + name)));
    };
    write();
    auto r = remove({"--mode", "name", "--to", "delete"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("1 checked files differ in content from the file kept in their group"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("left alone (other content): " + tree.path()), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Removed 1 files"), std::string::npos) << r.out;
    EXPECT_EQ(count("notes.txt"), 1);
    EXPECT_EQ(count("report.txt"), 2);

    write();
    r = remove({"--mode", "name", "--to", "delete", "--allow-different-content"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(count("notes.txt"), 1);
    EXPECT_EQ(count("report.txt"), 1);

    write();
    r = remove({"--mode", "name", "--to", "trash"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("1 checked files differ in content"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("left alone"), std::string::npos) << r.err;
    EXPECT_EQ(count("report.txt"), 1);
}

// Two packages with the same Info.plist but other contents are no copies under the full
// check; equal trees are, and show the size of their contents.
TEST_F(CliRemoveSafety, PackagesAreCopiesOnlyWhenTheirWholeTreesAreEqual) {
    const std::string plist =
        "<plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>org.x</string>"
        "</dict></plist>";
    for (const char* root : {"a/X.app", "b/X.app", "c/X.app"}) tree.write(std::string(root) + "/Info.plist", plist);
    tree.write("a/X.app/MacOS/x", "build A");
    tree.write("b/X.app/MacOS/x", "build B");
    tree.write("c/X.app/MacOS/x", "build A");
    const std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", config.path()}};
    auto r = runCli({"scan", "--json", tree.path()}, env);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(groupsOf(r.out), (Groups{{tree / "a/X.app", tree / "c/X.app"}})) << r.out;
    const auto result = nlohmann::json::parse(r.out);
    EXPECT_EQ(result["categories"][0]["groups"][0]["files"][0]["size"].get<uint64_t>(), plist.size() + 7);

    r = runCli({"scan", "--json", "--no-verify", tree.path()}, env);
    EXPECT_EQ(groupsOf(r.out), (Groups{{tree / "a/X.app", tree / "b/X.app", tree / "c/X.app"}})) << r.out;

    // The tree of the checked package changes just before the act: it stays.
    r = remove({"--to", "delete"}, hook("echo 'build Z' > \"$1/MacOS/x\""));
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_NE(r.err.find("its contents changed after the scan"), std::string::npos) << r.err;
    EXPECT_TRUE(exists(tree / "a/X.app/MacOS/x") && exists(tree / "c/X.app/MacOS/x"));
}

}  // namespace
