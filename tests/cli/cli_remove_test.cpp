// twinsift-cli remove as a person or a script meets it: another removal running at the
// same time, signals, the confirmation prompt, its JSON and its standard output.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>

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

}  // namespace
