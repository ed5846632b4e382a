// twinsift-cli remove as a person or a script meets it: another removal running at the
// same time, signals, the confirmation prompt, its JSON and its standard output.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "CliProcess.h"
#include "CliRunner.h"
#include "TWRemovalLock.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using json = nlohmann::json;
using twtest::CliProcess;
using twtest::exists;
using twtest::runCli;

namespace {

class CliRemove : public ::testing::Test {
protected:
    void SetUp() override {
        // This process takes the removal lock in the same private runtime folder.
        if (const char* old = getenv("XDG_RUNTIME_DIR")) oldRuntime_ = old;
        setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        kept = tree.write("a/kept.txt", "the same content");
        copy = tree.write("b/copy.txt", "the same content");
    }
    void TearDown() override {
        oldRuntime_ ? setenv("XDG_RUNTIME_DIR", oldRuntime_->c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
    }
    std::map<std::string, std::string> env() const {
        return {{"XDG_CONFIG_HOME", config.path()}, {"XDG_RUNTIME_DIR", runtime.path()}};
    }
    twtest::CliSpawn spawn(std::vector<std::string> args) const {
        twtest::CliSpawn s;
        s.args = std::move(args);
        s.env = env();
        return s;
    }
    bool bothThere() const { return exists(kept) && exists(copy); }
    bool oneLeft() const { return exists(kept) != exists(copy); }

    twtest::TempDir config{"twinsift-cli-config"};
    twtest::TempDir runtime{"twinsift-cli-runtime"};
    twtest::TempDir tree{"twinsift-cli-remove"};
    std::string kept, copy;

private:
    std::optional<std::string> oldRuntime_;
};

TEST_F(CliRemove, WithAnotherRemovalRunningNoWaitExitsTwoAndRemovesNothing) {
    auto lock = TWRemovalLock::tryLock(nullptr);
    ASSERT_TRUE(lock);
    auto r = runCli({"remove", "--to", "delete", "--yes", "--no-wait", "--quiet", tree.path()}, env());
    EXPECT_EQ(r.exitStatus, 2) << r.err;
    EXPECT_NE(r.err.find("another removal is running"), std::string::npos) << r.err;
    EXPECT_TRUE(bothThere());
}

TEST_F(CliRemove, ASecondRemovalWaitsForTheFirstThenRuns) {
    auto lock = TWRemovalLock::tryLock(nullptr);
    ASSERT_TRUE(lock);
    CliProcess cli(spawn({"remove", "--to", "delete", "--yes", "--quiet", tree.path()}));
    ASSERT_TRUE(cli.waitForErr("Another removal is running; waiting for it to finish...")) << cli.err;
    EXPECT_TRUE(bothThere());
    lock.reset();
    EXPECT_EQ(cli.wait(), 0) << cli.err;
    EXPECT_TRUE(oneLeft());
}

TEST_F(CliRemove, SigtermOrSighupWhileWaitingEndsWithoutRemovingAnything) {
    auto lock = TWRemovalLock::tryLock(nullptr);
    ASSERT_TRUE(lock);
    for (int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        CliProcess cli(spawn({"remove", "--to", "delete", "--yes", "--quiet", tree.path()}));
        ASSERT_TRUE(cli.waitForErr("waiting for it to finish")) << cli.err;
        cli.signal(signal);
        EXPECT_EQ(cli.wait(), 130) << cli.err;
        EXPECT_TRUE(bothThere());
    }
}

TEST_F(CliRemove, JsonIsOneDocumentWithTheSummaryAndEveryFailure) {
    const std::string third = tree.write("c/third.txt", "the same content");
    const std::string notAFolder = config.write("not-a-folder", "x");  // every move into it fails
    auto r = runCli({"remove", "--json", "--quiet", "--to", "move", "--dest", notAFolder, "--yes", tree.path()}, env());
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    json document = json::parse(r.out);  // throws on anything beside the one document
    const json& removal = document["removal"];
    EXPECT_EQ(removal["outcome"], "removed");
    EXPECT_EQ(removal["removed"], 0);
    EXPECT_EQ(removal["failed"], 2);
    EXPECT_EQ(removal["cancelled"], false);
    std::set<std::string> failed;
    for (const auto& failure : removal["failures"]) {
        failed.insert(failure["path"].get<std::string>());
        EXPECT_FALSE(failure["reason"].get<std::string>().empty());
    }
    EXPECT_EQ(failed.size(), 2u);
    for (const auto& path : {kept, copy, third}) EXPECT_TRUE(exists(path));
    EXPECT_EQ(document["categories"][0]["groups"][0]["files"].size(), 3u) << "the listing is in the same document";

    r = runCli({"remove", "--json", "--quiet", "--to", "delete", "--yes", tree.path()}, env());
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    document = json::parse(r.out);
    EXPECT_EQ(document["removal"]["removed"], 2);
    EXPECT_EQ(document["removal"]["bytesFreed"], 2 * std::string("the same content").size());
    EXPECT_TRUE(document["removal"]["failures"].empty());

    r = runCli({"remove", "--json", "--quiet", "--to", "delete", "--yes", tree.path()}, env());
    EXPECT_EQ(json::parse(r.out)["removal"]["outcome"], "nothing-to-remove");
}

TEST_F(CliRemove, AListingThatCannotBeWrittenExitsOneAndRemovesNothing) {
    for (bool json : {false, true})
        for (bool closed : {false, true}) {
            SCOPED_TRACE(std::string(json ? "json" : "text") + (closed ? ", closed" : ", /dev/full"));
            std::vector<std::string> args = {"remove", "--quiet", "--to", "delete", "--yes", tree.path()};
            if (json) args.push_back("--json");
            auto s = spawn(args);
            s.closedStdout = closed;
            s.stdoutPath = closed ? "" : "/dev/full";
            CliProcess cli(s);
            EXPECT_EQ(cli.wait(), 1) << cli.err;
            EXPECT_NE(cli.err.find("nothing was removed"), std::string::npos) << cli.err;
            EXPECT_TRUE(bothThere());
        }
    auto s = spawn({"scan", "--quiet", tree.path()});
    s.stdoutPath = "/dev/full";
    CliProcess scan(s);
    EXPECT_EQ(scan.wait(), 1) << "scan, too, says when its result was not written";
}

TEST_F(CliRemove, CtrlCOrASignalAtThePromptExits130AndRemovesNothing) {
    for (int signal : {0, SIGTERM}) {
        SCOPED_TRACE(signal);
        auto s = spawn({"remove", "--quiet", "--to", "delete", tree.path()});
        s.terminal = true;
        CliProcess cli(s);
        ASSERT_TRUE(cli.waitForTerminal("[y/N]")) << cli.err << cli.terminal;
        signal == 0 ? cli.type("\x03") : cli.signal(signal);
        EXPECT_EQ(cli.wait(), 130) << cli.err;
        EXPECT_NE(cli.err.find("Interrupted: nothing was removed."), std::string::npos) << cli.err;
        EXPECT_TRUE(bothThere());
    }
    // And the answer still works.
    auto s = spawn({"remove", "--quiet", "--to", "delete", tree.path()});
    s.terminal = true;
    CliProcess cli(s);
    ASSERT_TRUE(cli.waitForTerminal("[y/N]"));
    cli.type("y\n");
    EXPECT_EQ(cli.wait(), 0) << cli.err;
    EXPECT_TRUE(oneLeft());
}

TEST_F(CliRemove, ADestinationInsideAScannedFolderIsRefusedBeforeTheScan) {
    twtest::TempDir outside;
    const std::string linkIntoTree = outside.symlink(tree / "b", "into-tree");
    const std::string linkToTree = outside.symlink(tree.path(), "tree-link");
    struct Case {
        std::string dest;
        std::string scanned;
    } cases[] = {
        {tree / "a/new/deeper", tree.path()},  // does not exist yet
        {tree.path(), tree.path()},
        {linkIntoTree, tree.path()},   // a link that leads inside
        {tree / "a/new", linkToTree},  // the scanned folder given as a link
        {outside / "x/../../" + fs::path(tree.path()).filename().string() + "/a", tree.path()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dest);
        auto r = runCli({"remove", "--to", "move", "--dest", c.dest, "--yes", c.scanned}, env());
        EXPECT_EQ(r.exitStatus, 2) << r.err;
        EXPECT_NE(r.err.find("is inside the scanned folder"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << "refused before the scan";
        EXPECT_TRUE(bothThere());
        EXPECT_FALSE(exists(tree / "a/new"));
    }
    // Beside the scanned folder is fine, even when its name starts the same way.
    auto r =
        runCli({"remove", "--quiet", "--to", "move", "--dest", tree.path() + "-moved", "--yes", tree.path()}, env());
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(oneLeft());
    fs::remove_all(tree.path() + "-moved");
}

}  // namespace
