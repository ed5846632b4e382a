// twinsift-cli scan and remove driven end to end on generated trees; the groups are
// checked against groups computed here independently, with whole contents compared.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "CliRunner.h"
#include "TestSupport.h"
#include "files/TWCategoryManager.h"

namespace fs = std::filesystem;
using json = nlohmann::json;
using twtest::runCli;

namespace {

using Group = std::set<std::string>;
using Groups = std::set<Group>;

std::string extensionOf(const std::string& name) {
    auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? "" : name.substr(dot + 1);
}

std::string stemOf(const std::string& name) {
    auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// A tree with copies (sets of 2 to 4), distinct files, files that agree on the sampled
// kilobytes but differ elsewhere, empty files, same names with other contents, copies
// under other categories' extensions, and hidden files and folders.
struct GeneratedTree {
    twtest::TempDir dir{"twinsift-cli-tree"};
    std::string root;

    explicit GeneratedTree(unsigned seed) {
        root = dir.path();
        std::mt19937 gen(seed);
        const char* folders[] = {"docs", "docs/old", "music", "misc/deep/er", ".hidden", "misc"};
        const char* exts[] = {"txt", "pdf", "mp3", "zip", "dat", "bin"};
        auto folder = [&] { return std::string(folders[gen() % 6]); };
        int n = 0;
        for (int set = 0; set < 12; ++set) {
            std::string ext = exts[gen() % 6];
            std::string content = twtest::randomBytes(100 + gen() % 20000, gen());
            int copies = 2 + static_cast<int>(gen() % 3);
            for (int c = 0; c < copies; ++c) dir.write(folder() + "/copy" + std::to_string(n++) + "." + ext, content);
        }
        for (int i = 0; i < 15; ++i)
            dir.write(folder() + "/single" + std::to_string(i) + "." + exts[gen() % 6],
                      twtest::randomBytes(50 + gen() % 9000, gen()));
        // Equal size, equal sampled kilobytes (at L/3 and 2L/3), different first byte.
        std::string base = twtest::randomBytes(9000, 7);
        std::string other = base;
        other[0] = static_cast<char>(other[0] ^ 0x5A);
        dir.write("docs/sample-a.txt", base);
        dir.write("misc/sample-b.txt", other);
        dir.write("docs/empty1.txt", "");
        dir.write("misc/empty2.txt", "");
        // Same content, categories that differ: never one group.
        std::string shared = twtest::randomBytes(3000, 11);
        dir.write("docs/report.txt", shared);
        dir.write("music/report.mp3", shared);
        // Same name (letter case aside) and size, different content: one group in name mode.
        dir.write("docs/Notes.txt", twtest::randomBytes(500, 21));
        dir.write("misc/notes.txt", twtest::randomBytes(500, 22));
        dir.write(".hidden/.dotcopy.txt", shared);
        dir.write("docs/.dotcopy.txt", shared);
    }

    // Groups computed here: content mode compares whole contents; name mode lower-cased
    // names without extension and sizes. Empty files never group by content.
    Groups expected(bool nameMode, bool hidden) const {
        std::map<std::string, Group> byKey;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
            std::string name = it->path().filename().string();
            if (!hidden && name[0] == '.') {
                if (it->is_directory()) it.disable_recursion_pending();
                continue;
            }
            if (!it->is_regular_file()) continue;
            std::string ext = extensionOf(name);
            std::string key = std::to_string(TWCategoryManager::categoryOfFileExtension(ext)) + "/";
            if (nameMode) {
                key += lower(stemOf(name)) + "/" + std::to_string(it->file_size());
            } else {
                if (it->file_size() == 0) continue;
                key += twtest::readFile(it->path().string());
            }
            byKey[key].insert(it->path().string());
        }
        Groups out;
        for (auto& [key, group] : byKey)
            if (group.size() >= 2) out.insert(group);
        return out;
    }
};

Groups groupsOf(const json& result) {
    Groups out;
    for (const auto& category : result["categories"])
        for (const auto& group : category["groups"]) {
            Group g;
            for (const auto& file : group["files"]) g.insert(file["path"].get<std::string>());
            out.insert(g);
        }
    return out;
}

class CliScan : public ::testing::Test {
protected:
    twtest::TempDir config{"twinsift-cli-config"};
    std::map<std::string, std::string> env() const { return {{"XDG_CONFIG_HOME", config.path()}}; }
};

TEST_F(CliScan, JsonGroupsEqualIndependentGroupsInBothModesWithAndWithoutHiddenItems) {
    GeneratedTree tree(1234);
    for (bool nameMode : {false, true})
        for (bool hidden : {false, true}) {
            std::vector<std::string> args = {"scan", "--json", "--quiet", "--mode", nameMode ? "name" : "content"};
            if (hidden) args.push_back("--hidden");
            args.push_back(tree.root);
            auto r = runCli(args, env());
            ASSERT_EQ(r.exitStatus, 0) << r.err;
            json result = json::parse(r.out);
            EXPECT_EQ(groupsOf(result), tree.expected(nameMode, hidden))
                << "name mode " << nameMode << ", hidden " << hidden;
            // Every group keeps exactly one file unchecked.
            for (const auto& category : result["categories"])
                for (const auto& group : category["groups"]) {
                    int kept = 0;
                    for (const auto& file : group["files"]) kept += file["checked"].get<bool>() ? 0 : 1;
                    EXPECT_EQ(kept, 1);
                }
            EXPECT_GT(result["counters"]["filesScanned"].get<int>(), 0);
        }
    // The sampled-hash match alone groups the two files that differ outside the sample.
    auto r = runCli({"scan", "--json", "--no-verify", tree.root}, env());
    Groups sampled = groupsOf(json::parse(r.out));
    EXPECT_TRUE(sampled.count({tree.root + "/docs/sample-a.txt", tree.root + "/misc/sample-b.txt"}));
    EXPECT_FALSE(
        tree.expected(false, false).count({tree.root + "/docs/sample-a.txt", tree.root + "/misc/sample-b.txt"}));
}

TEST_F(CliScan, PathsThatAreNotUtf8AreKeptExactly) {
    twtest::TempDir dir;
    std::string bad = std::string("caf\xE9") + ".txt";
    dir.write(bad, "same content here");
    dir.write("plain.txt", "same content here");
    auto r = runCli({"scan", "--json", dir.path()}, env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    json result = json::parse(r.out);
    bool seen = false;
    for (const auto& file : result["categories"][0]["groups"][0]["files"])
        if (file.contains("pathBase64")) {
            seen = true;
            EXPECT_EQ(file["path"].get<std::string>(), dir.path() + "/caf\xEF\xBF\xBD.txt");
            // base64 of the exact bytes
            std::string expected = dir.path() + "/" + bad;
            EXPECT_EQ(file["pathBase64"].get<std::string>().size(), (expected.size() + 2) / 3 * 4);
        }
    EXPECT_TRUE(seen);
    r = runCli({"scan", dir.path()}, env());  // text: one line per file, escaped
    EXPECT_NE(r.out.find("caf\\xE9.txt"), std::string::npos) << r.out;
}

// Names written as they stand and names the JSON writer must escape, side by side:
// every path reads back with its exact bytes.
TEST_F(CliScan, JsonPathsReadBackExactlyWhetherEscapedOrNot) {
    twtest::TempDir dir;
    const std::vector<std::string> names = {"plain.txt",       "quote\".txt",      "back\\slash.txt",
                                            "tab\there.txt",   "new\nline.txt",    "del\x7F.txt",
                                            "caf\xC3\xA9.txt", "\xE6\x96\x87.txt", "\xF0\x9F\x93\x84.txt"};
    std::set<std::string> expected;
    for (const auto& name : names) expected.insert(dir.write(name, "the same words"));
    auto r = runCli({"scan", "--json", dir.path()}, env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const json result = json::parse(r.out);
    std::set<std::string> seen;
    for (const auto& file : result["categories"][0]["groups"][0]["files"]) {
        EXPECT_FALSE(file.contains("pathBase64")) << file.dump();
        seen.insert(file["path"].get<std::string>());
    }
    EXPECT_EQ(seen, expected);
}

// The text form: one line a file, control bytes, backslashes and bytes that are not
// UTF-8 escaped, everything else as it stands, whatever comes before or after them.
TEST_F(CliScan, TextPathsEscapeOnlyWhatCannotBePrinted) {
    twtest::TempDir dir;
    const std::map<std::string, std::string> printed = {
        {"plain.txt", "plain.txt"},
        {"back\\slash.txt", "back\\\\slash.txt"},
        {"tab\there.txt", "tab\\there.txt"},
        {"new\nline.txt", "new\\nline.txt"},
        {"del\x7F.txt", "del\\x7F.txt"},
        {"caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
        {"\xF0\x9F\x93\x84.txt", "\xF0\x9F\x93\x84.txt"},
        {"\xC3\xA9t\xE9\\\x01z\r.txt", "\xC3\xA9t\\xE9\\\\\\x01z\\r.txt"},
    };
    for (const auto& [name, line] : printed) dir.write(name, "the same words");
    auto r = runCli({"scan", dir.path()}, env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    for (const auto& [name, line] : printed)
        EXPECT_NE(r.out.find("  " + dir.path() + "/" + line + "\n"), std::string::npos) << line << "\n" << r.out;
}

TEST_F(CliScan, RemoveMovesCopiesIntoTheFolderAndKeepsOneOfEachGroup) {
    GeneratedTree tree(99);
    twtest::TempDir dest;
    Groups before = tree.expected(false, false);
    std::map<std::string, std::string> contents;
    for (const auto& g : before)
        for (const auto& p : g) contents[p] = twtest::readFile(p);

    auto dry = runCli({"remove", "--to", "move", "--dest", dest.path(), "--dry-run", tree.root}, env());
    ASSERT_EQ(dry.exitStatus, 0) << dry.err;
    EXPECT_NE(dry.err.find("Dry run: nothing was changed."), std::string::npos);
    for (const auto& [path, content] : contents) EXPECT_TRUE(twtest::exists(path)) << path;
    EXPECT_TRUE(fs::is_empty(dest.path()));

    auto r = runCli({"remove", "--to", "move", "--dest", dest.path(), "--yes", tree.root}, env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("0 failed"), std::string::npos) << r.out;
    std::multiset<std::string> moved;
    for (const auto& entry : fs::directory_iterator(dest.path())) moved.insert(twtest::readFile(entry.path()));
    size_t expectedMoves = 0;
    for (const auto& g : before) {
        size_t left = 0;
        for (const auto& p : g) left += twtest::exists(p) ? 1 : 0;
        EXPECT_EQ(left, 1u) << *g.begin();
        expectedMoves += g.size() - 1;
        for (const auto& p : g) {
            if (!twtest::exists(p)) {
                EXPECT_GE(moved.count(contents[p]), 1u) << p << " lost";
            }
        }
    }
    EXPECT_EQ(moved.size(), expectedMoves);
    // A second scan finds no copies left.
    auto again = runCli({"scan", "--json", tree.root}, env());
    EXPECT_TRUE(groupsOf(json::parse(again.out)).empty());
}

TEST_F(CliScan, BadFoldersAndOptions) {
    twtest::TempDir dir;
    std::string file = dir.write("f.txt", "x");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"scan", dir / "missing"}, "no such folder: " + (dir / "missing")},
        {{"scan", file}, "no such folder: " + file},
        {{"scan", "--mode", "fuzzy", dir.path()}, "--mode"},
        {{"scan", "--min-size", "lots", dir.path()}, "--min-size"},
        {{"scan", "--min-size", "2K", "--max-size", "1K", dir.path()}, "must be below the maximum size"},
        {{"scan", "--rule", "tallest", dir.path()}, "--rule"},
        {{"scan", "--similarity", "2", dir.path()}, "--similarity"},
        {{"scan", "--similar-by", "shape", dir.path()}, "--similar-by"},
        {{"scan", "--image-rule", "9", dir.path()}, "--image-rule"},
        {{"scan", "--background", "--no-background", dir.path()}, "excludes"},
        {{"remove", "--to", "move", dir.path()}, "--dest"},
        {{"remove", "--dest", dir.path(), dir.path()}, "--dest is only for --to move"},
    };
    for (const auto& c : cases) {
        auto r = runCli(c.args, env());
        EXPECT_EQ(r.exitStatus, 2) << c.args[1] << " " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(CliScan, IgnoreOptionsTakeOneValueEachAndLeaveTheFoldersAfterThem) {
    twtest::TempDir dir;
    const std::string a = dir.write("keep/a.txt", "same words");
    const std::string b = dir.write("keep/b.txt", "same words");
    dir.write("skip/c.txt", "same words");
    dir.write("keep/d.log", "same words");
    auto r =
        runCli({"scan", "--json", "--ignore", dir / "skip", "--ignore-type", "log", dir / "keep", dir / "skip"}, env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(groupsOf(json::parse(r.out)), (Groups{{a, b}})) << r.out;
}

TEST_F(CliScan, RemoveWithoutATerminalAsksForYesAndRemovesNothing) {
    twtest::TempDir dir;
    std::string a = dir.write("a.txt", "duplicate content"), b = dir.write("b.txt", "duplicate content");
    // The runner's child has no controlling terminal, so there is nowhere to ask.
    auto r = runCli({"remove", "--to", "delete", dir.path()}, env());
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_TRUE(twtest::exists(a));
    EXPECT_TRUE(twtest::exists(b));
}

}  // namespace
