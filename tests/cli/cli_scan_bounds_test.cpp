// What twinsift-cli never touches, end to end: a link to a file outside the chosen
// folders.

#include <gtest/gtest.h>

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

}  // namespace
