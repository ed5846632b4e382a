// The command line's hash and prefs commands, driven as a user drives them.

#include <gtest/gtest.h>
#include <openssl/md5.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "TestSupport.h"

using twtest::runCli;

namespace {

std::string md5Hex(const std::string& bytes) {
    unsigned char digest[MD5_DIGEST_LENGTH];
    // The deprecated one-shot call is fine here: it is the independent reference.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    MD5(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
#pragma GCC diagnostic pop
    char hex[33];
    for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02X", digest[i]);
    return hex;
}

// The sample the hash is defined over, computed here from the file's bytes.
std::string expectedSample(const std::string& content) {
    size_t n = content.size();
    if (n <= 2047) return content;
    if (n <= 6143) return content.substr(0, 1024) + content.substr(n - 1024, 1024);
    return content.substr(n / 3, 1024) + content.substr(2 * n / 3, 1024);
}

std::string realPath(const std::string& p) {
    char* r = realpath(p.c_str(), nullptr);
    std::string s = r ? r : p;
    free(r);
    return s;
}

class CliFoundation : public ::testing::Test {
protected:
    twtest::TempDir config{"twinsift-cli-config"};
    std::map<std::string, std::string> env() const { return {{"XDG_CONFIG_HOME", config.path()}}; }
};

TEST_F(CliFoundation, HashAgreesWithIndependentMd5OfTheSample) {
    twtest::TempDir dir;
    for (size_t size : {1u, 2047u, 2048u, 6143u, 6144u, 1u << 20}) {
        std::string content = twtest::randomBytes(size, static_cast<unsigned>(size));
        std::string path = dir.write("f" + std::to_string(size), content);
        auto r = runCli({"hash", path}, env());
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.out, md5Hex(expectedSample(content)) + "  " + path + "\n") << "size " << size;
    }
    // An empty file hashes by its own (resolved) path, so two empty files never match.
    std::string empty = dir.write("empty", "");
    auto r = runCli({"hash", empty}, env());
    ASSERT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, md5Hex(realPath(empty)) + "  " + empty + "\n");
}

TEST_F(CliFoundation, HashOfSeveralFilesAndOfAMissingOne) {
    twtest::TempDir dir;
    std::string a = dir.write("a", "same");
    std::string b = dir.write("b", "same");
    auto r = runCli({"hash", a, dir / "missing", b}, env());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("missing"), std::string::npos);
    EXPECT_EQ(r.out, md5Hex("same") + "  " + a + "\n" + md5Hex("same") + "  " + b + "\n");
}

TEST_F(CliFoundation, HashOfAFifoDoesNotHangAndUsesThePath) {
    twtest::TempDir dir;
    std::string fifo = dir.fifo("pipe.png");
    auto r = runCli({"hash", fifo}, env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, md5Hex(realPath(fifo)) + "  " + fifo + "\n");
}

TEST_F(CliFoundation, PrefsListsEveryKeyMarkingDefaults) {
    auto r = runCli({"prefs"}, env());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    for (const char* line : {"findModeMatrixSeletedRow = 0  (default)", "kVerifyFullContent = true  (default)",
                             "kScanInBackground = false  (default)", "maxsizeignored = 18446744073709551615  (default)",
                             "kSimilarityLevel = 0.7  (default)", "kSmartCheckMethodForSimilarImages = 8  (default)",
                             "kUsingDupFileChkMthForSimImg = false  (default)", "sortArray = []  (default)"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    ASSERT_EQ(runCli({"prefs", "findModeMatrixSeletedRow", "1"}, env()).exitStatus, 0);
    ASSERT_EQ(runCli({"prefs", "minsizeignored", "4K"}, env()).exitStatus, 0);
    ASSERT_EQ(runCli({"prefs", "sortArray", R"(["jpg", ".DS_Store"])"}, env()).exitStatus, 0);
    r = runCli({"prefs"}, env());
    EXPECT_NE(r.out.find("findModeMatrixSeletedRow = 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("minsizeignored = 4096\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(R"(sortArray = ["jpg",".DS_Store"])"), std::string::npos) << r.out;
    EXPECT_EQ(runCli({"prefs", "minsizeignored"}, env()).out, "4096\n");
}

TEST_F(CliFoundation, PrefsRefusesBadInputAndWritesNothing) {
    std::string file = config.path() + "/twinsift/defaults.json";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"prefs", "noSuchKey"}, "unknown setting: noSuchKey"},
        {{"prefs", "noSuchKey", "1"}, "unknown setting: noSuchKey"},
        {{"prefs", "kSkipHiddenItems", "maybe"}, "expected true or false"},
        {{"prefs", "findModeMatrixSeletedRow", "2"}, "expected a number from 0 to 1"},
        {{"prefs", "findModeMatrixSeletedRow", "one"}, "expected a whole number"},
        {{"prefs", "kSimilarityLevel", "1.5"}, "expected a number from 0 to 1"},
        {{"prefs", "sortArray", "jpg"}, "expected a JSON array"},
        {{"prefs", "maxsizeignored", "0"}, "must be above the minimum size"},
        {{"prefs", "iTunesMediaFolderLocation", "/a"}, "at least 3 characters"},
    };
    for (const auto& c : cases) {
        auto r = runCli(c.args, env());
        EXPECT_EQ(r.exitStatus, 2) << c.args[1];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(twtest::exists(file)) << "written by " << c.args[1];
    }
}

TEST_F(CliFoundation, HelpAndVersion) {
    auto r = runCli({"--help"}, env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("hash"), std::string::npos);
    EXPECT_NE(r.out.find("prefs"), std::string::npos);
    for (const char* sub : {"hash", "prefs"}) {
        r = runCli({sub, "--help"}, env());
        EXPECT_EQ(r.exitStatus, 0) << sub;
        EXPECT_NE(r.out.find("Usage"), std::string::npos) << sub;
    }
    EXPECT_NE(runCli({"prefs", "--help"}, env()).out.find("kVerifyFullContent"), std::string::npos);
    r = runCli({"--version"}, env());
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("twinsift-cli ", 0), 0u) << r.out;
    r = runCli({"--no-such-option"}, env());
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("--help"), std::string::npos);
}

}  // namespace
