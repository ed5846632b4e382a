// What twinsift-cli never touches and what it cannot read, end to end: a link to a file
// outside the chosen folders, an overlay's layer folder scanned with its merged view,
// paths too long or unreadable, and a chosen folder the settings ignore.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "TestSupport.h"

using json = nlohmann::json;
using twtest::exists;
using twtest::readFile;
using twtest::runCli;

namespace {

class CliScanBounds : public ::testing::Test {
protected:
    twtest::TempDir config{"twinsift-cli-config"};
    std::map<std::string, std::string> env() const { return {{"XDG_CONFIG_HOME", config.path()}}; }

    // Every file of a scan's JSON, by path.
    static std::map<std::string, json> filesOf(const json& result) {
        std::map<std::string, json> files;
        for (const auto& category : result["categories"])
            for (const auto& group : category["groups"])
                for (const auto& file : group["files"]) files[file["path"].get<std::string>()] = file;
        return files;
    }
};

TEST_F(CliScanBounds, ALinkToAFileOutsideIsShownWithItsLinkAndNeverRemoved) {
    twtest::TempDir dir;
    const std::string outside = dir.write("other/original.txt", "precious words");
    const std::string copy = dir.write("chosen/copy.txt", "precious words");
    const std::string link = dir.symlink(outside, "chosen/link.txt");

    auto scan = runCli({"scan", "--json", dir / "chosen"}, env());
    ASSERT_EQ(scan.exitStatus, 0) << scan.err;
    auto files = filesOf(json::parse(scan.out));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[outside]["outsideChosenFolders"], true);
    EXPECT_EQ(files[outside]["linkPath"], link);
    EXPECT_EQ(files[outside]["checked"], false);
    EXPECT_FALSE(files[copy].contains("outsideChosenFolders"));
    auto text = runCli({"scan", dir / "chosen"}, env());
    EXPECT_NE(text.out.find(outside + "  (through the link " + link + "; outside the chosen folders: never removed)"),
              std::string::npos)
        << text.out;

    for (const char* rule : {"smart-name", "newer", "older"}) {
        auto removal = runCli({"remove", "--yes", "--to", "delete", "--rule", rule, dir / "chosen"}, env());
        EXPECT_EQ(removal.exitStatus, 0) << removal.err;
        EXPECT_EQ(readFile(outside), "precious words") << rule;
    }
}

TEST_F(CliScanBounds, AChosenFolderThatIsALinkCoversItsFiles) {
    twtest::TempDir dir;
    const std::string a = dir.write("real/a.txt", "same");
    const std::string b = dir.write("real/b.txt", "same");
    dir.symlink(dir / "real", "chosen");
    auto scan = runCli({"scan", "--json", dir / "chosen"}, env());
    ASSERT_EQ(scan.exitStatus, 0) << scan.err;
    auto files = filesOf(json::parse(scan.out));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[a]["checked"], files[b]["checked"]) << scan.out;
    auto removal = runCli({"remove", "--yes", "--to", "delete", dir / "chosen"}, env());
    EXPECT_EQ(removal.exitStatus, 0) << removal.err;
    EXPECT_NE(exists(a), exists(b)) << "one copy goes, one stays";
}

TEST_F(CliScanBounds, AnOverlayScannedWithItsLowerFolderIsNotedAndTheLowerFileStays) {
    twtest::TempDir dir;
    const std::string lower = dir.write("lower/shared.txt", "one file, two devices");
    for (const char* folder : {"upper", "work", "merged"}) dir.mkdir(folder);
    const std::string options = "lowerdir=" + dir / "lower" + ",upperdir=" + dir / "upper" + ",workdir=" + dir / "work";
    ASSERT_EQ(::mount("overlay", (dir / "merged").c_str(), "overlay", 0, options.c_str()), 0)
        << "cannot mount the overlay: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir / "merged"};

    auto scan = runCli({"scan", "--json", dir / "merged", dir / "lower"}, env());
    ASSERT_EQ(scan.exitStatus, 0) << scan.err;
    const json result = json::parse(scan.out);
    ASSERT_EQ(result["notices"].size(), 1u) << scan.out;
    EXPECT_EQ(result["notices"][0]["path"], dir / "lower");
    EXPECT_EQ(filesOf(result)[lower]["insideOverlayLayer"], true);
    EXPECT_NE(scan.err.find("note: " + dir / "lower" + " is a layer folder of the overlay mounted at "),
              std::string::npos)
        << scan.err;

    for (const char* rule : {"smart-name", "newer", "older"})
        for (bool lowerFirst : {false, true}) {
            auto removal = runCli({"remove", "--yes", "--to", "delete", "--rule", rule,
                                   dir / (lowerFirst ? "lower" : "merged"), dir / (lowerFirst ? "merged" : "lower")},
                                  env());
            // Where a rule checked the merged view's file, it is refused (status 1) with a reason.
            const bool refused = removal.err.find("lie in an overlay's layer folder") != std::string::npos;
            EXPECT_EQ(removal.exitStatus, refused ? 1 : 0) << removal.err;
            EXPECT_EQ(readFile(lower), "one file, two devices") << rule;
            // The lower file is the merged view's file: it may not vouch for it either.
            EXPECT_EQ(readFile(dir / "merged/shared.txt"), "one file, two devices") << rule;
        }
}

TEST_F(CliScanBounds, APathTooLongIsNamedAndTheScanExitsOne) {
    twtest::TempDir dir;
    dir.write("a.txt", "copy");
    dir.write("b.txt", "copy");
    twtest::TooLongPath chain(dir);
    ASSERT_TRUE(chain.made());
    const std::string& firstTooLong = chain.firstTooLong();

    auto scan = runCli({"scan", "--json", dir.path()}, env());
    EXPECT_EQ(scan.exitStatus, 1) << scan.err;
    const json result = json::parse(scan.out);
    EXPECT_EQ(result["skipped"]["count"], 1);
    ASSERT_EQ(result["skipped"]["paths"].size(), 1u);
    EXPECT_EQ(result["skipped"]["paths"][0]["path"], firstTooLong);
    EXPECT_EQ(result["skipped"]["paths"][0]["reason"], "path longer than the system allows");
    EXPECT_EQ(filesOf(result).size(), 2u) << "the rest was scanned";
    EXPECT_NE(scan.err.find("skipped: " + firstTooLong + ": path longer than the system allows\n"), std::string::npos);
    EXPECT_NE(scan.err.find("1 path could not be read.\n"), std::string::npos) << scan.err;
}

TEST_F(CliScanBounds, AnUnreadableFolderIsNamedAndBothCommandsExitOne) {
    twtest::TempDir dir;
    const std::string a = dir.write("tree/a.txt", "copy");
    const std::string b = dir.write("tree/b.txt", "copy");
    dir.write("tree/locked/c.txt", "copy");
    dir.write("tree/closed/d.txt", "copy");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(config.path().c_str(), 0777), 0);
    for (const char* folder : {"tree"}) ASSERT_EQ(::chmod((dir / folder).c_str(), 0777), 0);
    ASSERT_EQ(::chmod((dir / "tree/locked").c_str(), 0000), 0);  // cannot be listed
    ASSERT_EQ(::chmod((dir / "tree/closed").c_str(), 0444), 0);  // listed, but not entered

    // Runs the command as nobody; its output is left in files for this process to read.
    const auto runAsNobody = [&](const std::vector<std::string>& args) {
        const int status = twtest::runAsUnprivileged([&] {
            auto r = runCli(args, {{"XDG_CONFIG_HOME", config.path()},
                                   {"XDG_CACHE_HOME", dir / "cache"},
                                   {"XDG_RUNTIME_DIR", dir / "runtime"},
                                   {"HOME", dir.path()}});
            std::ofstream(dir / "out") << r.out;
            std::ofstream(dir / "err") << r.err;
            return r.exitStatus;
        });
        return twtest::CliResult{status, readFile(dir / "out"), readFile(dir / "err")};
    };

    auto scan = runAsNobody({"scan", "--json", dir / "tree"});
    EXPECT_EQ(scan.exitStatus, 1) << scan.err;
    const json result = json::parse(scan.out);
    EXPECT_EQ(result["skipped"]["count"], 2);
    std::map<std::string, std::string> reasons;
    for (const auto& entry : result["skipped"]["paths"]) reasons[entry["path"]] = entry["reason"];
    EXPECT_EQ(reasons[dir / "tree/locked"], "cannot list folder: Permission denied");
    EXPECT_EQ(reasons[dir / "tree/closed"], "cannot enter folder: Permission denied");
    EXPECT_EQ(filesOf(result).size(), 2u);
    EXPECT_NE(scan.err.find("skipped: " + dir / "tree/locked" + ": cannot list folder: Permission denied\n"),
              std::string::npos)
        << scan.err;
    EXPECT_NE(scan.err.find("2 paths could not be read.\n"), std::string::npos) << scan.err;

    auto removal = runAsNobody({"remove", "--yes", "--to", "delete", dir / "tree"});
    EXPECT_EQ(removal.exitStatus, 1) << removal.err;
    EXPECT_NE(removal.err.find("2 paths could not be read.\n"), std::string::npos) << removal.err;
    EXPECT_NE(exists(a), exists(b)) << "the readable copies were handled as ever";
}

TEST_F(CliScanBounds, AnIgnoredChosenFolderGetsANoticeAndExitZero) {
    twtest::TempDir dir;
    dir.write("kept/a.txt", "copy");
    dir.write("kept/b.txt", "copy");
    dir.write("skip/c.txt", "copy");
    auto scan = runCli({"scan", "--json", dir / "kept", dir / "skip", "--ignore", dir / "skip"}, env());
    EXPECT_EQ(scan.exitStatus, 0) << scan.err;
    const json result = json::parse(scan.out);
    EXPECT_EQ(result["skipped"]["count"], 0);
    ASSERT_EQ(result["notices"].size(), 1u);
    EXPECT_EQ(result["notices"][0]["path"], dir / "skip");
    EXPECT_EQ(result["notices"][0]["text"], "is ignored by the settings: not scanned");
    EXPECT_EQ(filesOf(result).size(), 2u);
    EXPECT_NE(scan.err.find("note: " + dir / "skip" + " is ignored by the settings: not scanned\n"), std::string::npos)
        << scan.err;
}

}  // namespace
