#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "DefaultsStore.h"
#include "JsonBytes.h"
#include "Log.h"
#include "TestSupport.h"

using tw::DefaultsStore;
using Json = DefaultsStore::Value;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> damagedCopies(const std::string& defaultsPath) {
    std::vector<std::string> found;
    fs::path p(defaultsPath);
    for (const auto& entry : fs::directory_iterator(p.parent_path()))
        if (entry.path().filename().string().rfind(p.filename().string() + ".damaged-", 0) == 0)
            found.push_back(entry.path().string());
    return found;
}

Json fileContent(const std::string& path) {
    return Json::parse(twtest::readFile(path));
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::set<std::string> entriesOf(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

}  // namespace

TEST(DefaultsStore, AbsentKeysAreToldApartFromStoredValues) {
    twtest::ScopedDefaults defaults;
    auto& store = DefaultsStore::standard();
    EXPECT_EQ(store.path(), defaults.defaultsPath());
    EXPECT_FALSE(store.hasValue("flag"));
    EXPECT_FALSE(store.boolValue("flag"));

    ASSERT_TRUE(store.setValue("flag", false));
    ASSERT_TRUE(store.setValue("zero", 0));
    ASSERT_TRUE(store.setValue("empty", ""));
    EXPECT_EQ(store.boolValue("flag"), false);
    EXPECT_EQ(store.intValue("zero"), 0);
    EXPECT_EQ(store.stringValue("empty"), "");

    ASSERT_TRUE(store.removeValue("flag"));
    EXPECT_FALSE(store.hasValue("flag"));
    EXPECT_FALSE(fileContent(defaults.defaultsPath()).contains("flag"));
}

TEST(DefaultsStore, TypedReadsKeepTheirRangeAndRefuseOtherTypes) {
    twtest::ScopedDefaults defaults;
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("max", UINT64_MAX));
    ASSERT_TRUE(store.setValue("negative", -5));
    ASSERT_TRUE(store.setValue("level", 0.7f));
    ASSERT_TRUE(store.setValue("list", Json::array({"a", "b"})));
    ASSERT_TRUE(store.setValue("mixed", Json::array({"a", 1})));

    EXPECT_EQ(store.uintValue("max"), UINT64_MAX);
    EXPECT_FALSE(store.intValue("max"));  // does not fit
    EXPECT_EQ(store.intValue("negative"), -5);
    EXPECT_FALSE(store.uintValue("negative"));
    EXPECT_EQ(static_cast<float>(*store.doubleValue("level")), 0.7f);
    EXPECT_EQ(store.stringArrayValue("list"), (std::vector<std::string>{"a", "b"}));

    tw::LogCapture log;
    EXPECT_FALSE(store.stringArrayValue("mixed"));
    EXPECT_FALSE(store.stringArrayValue("mixed"));
    EXPECT_FALSE(store.boolValue("list"));
    EXPECT_EQ(log.lines().size(), 2u) << "a wrong type is logged once per key";
}

TEST(DefaultsStore, WritesAreOnDiskWhenTheyReturn) {
    twtest::ScopedDefaults defaults;
    ASSERT_TRUE(DefaultsStore::standard().setValue("key", "value"));
    DefaultsStore fresh(defaults.defaultsPath());
    EXPECT_EQ(fresh.stringValue("key"), "value");
    EXPECT_EQ(fileContent(defaults.defaultsPath())["key"], "value");
    EXPECT_FALSE(twtest::exists(defaults.defaultsPath() + ".tmp")) << "no temporary file is left behind";
}

TEST(DefaultsStore, OverridesAreReadFirstAndNeverWritten) {
    twtest::ScopedDefaults defaults;
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("mode", 0));
    uint64_t before = store.generation();
    store.setOverride("mode", 1);
    EXPECT_GT(store.generation(), before);
    EXPECT_EQ(store.intValue("mode"), 1);
    EXPECT_TRUE(store.hasOverride("mode"));

    ASSERT_TRUE(store.setValue("mode", 2));  // the stored value changes underneath
    EXPECT_EQ(store.intValue("mode"), 1);
    EXPECT_EQ(fileContent(defaults.defaultsPath())["mode"], 2);

    store.clearOverrides();
    EXPECT_EQ(store.intValue("mode"), 2);
    EXPECT_FALSE(store.hasOverride("mode"));
}

TEST(DefaultsStore, PicksUpAnotherWritersChanges) {
    twtest::ScopedDefaults defaults;
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("mine", 1));
    uint64_t before = store.generation();

    DefaultsStore other(defaults.defaultsPath());  // stands for another process
    ASSERT_TRUE(other.setValue("theirs", 2));

    // Without being told, within a bounded time (the store re-checks the file itself).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!store.hasValue("theirs") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(store.intValue("theirs"), 2);
    EXPECT_GT(store.generation(), before);

    // Each write re-reads the file under the lock: neither undoes the other's key.
    ASSERT_TRUE(store.setValue("mine", 3));
    ASSERT_TRUE(other.setValue("theirs", 4));
    Json onDisk = fileContent(defaults.defaultsPath());
    EXPECT_EQ(onDisk["mine"], 3);
    EXPECT_EQ(onDisk["theirs"], 4);
}

TEST(DefaultsStore, UpdateValueChangesTheCurrentValue) {
    twtest::ScopedDefaults defaults;
    DefaultsStore a(defaults.defaultsPath());
    DefaultsStore b(defaults.defaultsPath());
    auto append = [](const std::string& item) {
        return [item](const std::optional<Json>& stored) {
            Json list = stored.value_or(Json::array());
            list.push_back(item);
            return std::optional<Json>(list);
        };
    };
    ASSERT_TRUE(a.updateValue("list", append("x")));
    ASSERT_TRUE(b.updateValue("list", append("y")));  // b has not read the file before
    EXPECT_EQ(fileContent(defaults.defaultsPath())["list"], Json::array({"x", "y"}));
}

TEST(DefaultsStore, DamagedFileIsMovedAsideAndKept) {
    twtest::ScopedDefaults defaults;
    fs::create_directories(fs::path(defaults.defaultsPath()).parent_path());
    const std::string damaged = "{\"kSkipHiddenItems\": false, oops";
    twtest::TempDir scratch;
    fs::copy_file(scratch.write("bad.json", damaged), defaults.defaultsPath());

    tw::LogCapture log;
    auto& store = DefaultsStore::standard();
    EXPECT_FALSE(store.hasValue("kSkipHiddenItems")) << "starts from the defaults";
    EXPECT_TRUE(log.contains("moved it to"));
    auto copies = damagedCopies(defaults.defaultsPath());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(twtest::readFile(copies[0]), damaged);

    // A second damaged file in the same second gets a name of its own.
    ASSERT_TRUE(store.setValue("key", 1));
    fs::remove(defaults.defaultsPath());
    fs::copy_file(scratch.write("bad2.json", "[1, 2]"), defaults.defaultsPath());  // valid JSON, not an object
    store.reloadNow();
    EXPECT_FALSE(store.hasValue("key"));
    copies = damagedCopies(defaults.defaultsPath());
    ASSERT_EQ(copies.size(), 2u);
    std::set<std::string> contents{twtest::readFile(copies[0]), twtest::readFile(copies[1])};
    EXPECT_EQ(contents, (std::set<std::string>{damaged, "[1, 2]"}));

    ASSERT_TRUE(store.setValue("key", 2));
    EXPECT_EQ(fileContent(defaults.defaultsPath())["key"], 2);
}

TEST(DefaultsStore, EmptyFileIsAnEmptyStore) {
    twtest::ScopedDefaults defaults;
    fs::create_directories(fs::path(defaults.defaultsPath()).parent_path());
    twtest::TempDir scratch;
    fs::copy_file(scratch.write("empty", "\n"), defaults.defaultsPath());
    EXPECT_FALSE(DefaultsStore::standard().hasValue("anything"));
    EXPECT_TRUE(damagedCopies(defaults.defaultsPath()).empty());
}

TEST(DefaultsStore, NamesThatAreNotUtf8RoundTrip) {
    twtest::ScopedDefaults defaults;
    const std::string name = std::string("/tmp/caf\xe9/\xff\xfe") + "x";  // Latin-1 bytes
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("path", name));
    ASSERT_TRUE(store.setValue("paths", Json::array({"/plain", name})));
    EXPECT_EQ(store.stringValue("path"), name);

    DefaultsStore fresh(defaults.defaultsPath());
    EXPECT_EQ(fresh.stringValue("path"), name);
    EXPECT_EQ(fresh.stringArrayValue("paths"), (std::vector<std::string>{"/plain", name}));
    EXPECT_TRUE(tw::isValidUtf8(twtest::readFile(defaults.defaultsPath())));
    EXPECT_FALSE(store.setValue(std::string("bad\xff"), 1)) << "keys must be valid UTF-8";
}

TEST(DefaultsStore, BytesHelpersRejectWhatTheyDidNotMake) {
    EXPECT_FALSE(tw::isValidUtf8("\xc0\xaf"));          // overlong
    EXPECT_FALSE(tw::isValidUtf8("\xed\xa0\x80"));      // surrogate
    EXPECT_FALSE(tw::isValidUtf8("\xf4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_TRUE(tw::isValidUtf8("\xf0\x9f\x98\x80"));
    for (std::string bytes : {std::string(), std::string("a"), std::string("ab"), std::string("\xff\x00\x01", 3)})
        EXPECT_EQ(tw::base64Decode(tw::base64Encode(bytes)), bytes);
    EXPECT_FALSE(tw::base64Decode("QR=="));  // non-zero padding bits
    EXPECT_FALSE(tw::base64Decode("a"));
    EXPECT_FALSE(tw::bytesFromJson(Json{{"base64", "a"}}));
    EXPECT_FALSE(tw::bytesFromJson(42));
}

TEST(DefaultsStore, FollowsALinkedSettingsFileAndWritesItInPlace) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir elsewhere;
    std::string target = elsewhere.write("real.json", "{\"kept\": true}");
    const ino_t inode = statOf(target).st_ino;
    fs::create_directories(fs::path(defaults.defaultsPath()).parent_path());
    fs::create_symlink(target, defaults.defaultsPath());

    auto& store = DefaultsStore::standard();
    EXPECT_EQ(store.boolValue("kept"), true);
    // Outside the settings folder nothing is created or renamed: the target keeps its
    // inode (checked after each write: a freed inode number may come back) and no
    // temporary file is left beside it.
    ASSERT_TRUE(store.setValue("added", 1));
    EXPECT_EQ(statOf(target).st_ino, inode);
    ASSERT_TRUE(store.setValue("kept", false));
    EXPECT_EQ(statOf(target).st_ino, inode);
    EXPECT_TRUE(fs::is_symlink(defaults.defaultsPath())) << "the link is not replaced";
    EXPECT_EQ(fileContent(target), (Json{{"kept", false}, {"added", 1}}));
    EXPECT_EQ(entriesOf(elsewhere.path()), (std::set<std::string>{"real.json"}));
    EXPECT_EQ(DefaultsStore(defaults.defaultsPath()).boolValue("kept"), false);
}

TEST(DefaultsStore, ALinkToNoSettingsIsMovedAsideItselfAndWhatItLeadsToStaysUntouched) {
    twtest::TempDir elsewhere;
    const std::string notes = elsewhere.write("notes.txt", "my notes, not settings");
    elsewhere.mkdir("folder");
    elsewhere.fifo("fifo");
    const ino_t notesInode = statOf(notes).st_ino;
    for (const std::string target : {"notes.txt", "folder", "fifo", "missing"}) {
        SCOPED_TRACE(target);
        twtest::ScopedDefaults defaults;
        fs::create_directories(fs::path(defaults.defaultsPath()).parent_path());
        fs::create_symlink(elsewhere / target, defaults.defaultsPath());

        tw::LogCapture log;
        auto& store = DefaultsStore::standard();
        EXPECT_FALSE(store.hasValue("anything")) << "a read alone, as a scan does";
        auto copies = damagedCopies(defaults.defaultsPath());
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_TRUE(fs::is_symlink(copies[0])) << "the link itself was moved aside";
        EXPECT_EQ(fs::read_symlink(copies[0]), elsewhere / target);
        EXPECT_FALSE(twtest::exists(defaults.defaultsPath()));

        ASSERT_TRUE(store.setValue("key", 1));
        EXPECT_FALSE(fs::is_symlink(defaults.defaultsPath()));
        EXPECT_EQ(fileContent(defaults.defaultsPath())["key"], 1);
    }
    EXPECT_EQ(twtest::readFile(notes), "my notes, not settings");
    EXPECT_EQ(statOf(notes).st_ino, notesInode);
    EXPECT_EQ(entriesOf(elsewhere.path()), (std::set<std::string>{"notes.txt", "folder", "fifo"}));
}

TEST(DefaultsStore, ALockFileThatIsALinkIsRefusedAndNothingIsCreatedWhereItLeads) {
    twtest::ScopedDefaults defaults;
    twtest::TempDir elsewhere;
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("key", "old"));
    const std::string lockPath = defaults.defaultsPath() + ".lock";
    fs::remove(lockPath);
    fs::create_symlink(elsewhere / "created-by-the-lock", lockPath);

    tw::Status status = store.setValue("key", "new");
    EXPECT_FALSE(status);
    EXPECT_EQ(status.error, ELOOP);
    EXPECT_NE(status.reason.find("symbolic link"), std::string::npos) << status.reason;
    EXPECT_EQ(store.stringValue("key"), "old");
    EXPECT_TRUE(entriesOf(elsewhere.path()).empty());

    // A damaged settings file is not moved aside without the lock: it stays as it is.
    twtest::TempDir scratch;
    fs::remove(defaults.defaultsPath());
    fs::copy_file(scratch.write("bad.json", "{damaged"), defaults.defaultsPath());
    tw::LogCapture log;
    store.reloadNow();
    EXPECT_FALSE(store.hasValue("key"));
    EXPECT_EQ(twtest::readFile(defaults.defaultsPath()), "{damaged");
    EXPECT_TRUE(damagedCopies(defaults.defaultsPath()).empty());
    EXPECT_TRUE(entriesOf(elsewhere.path()).empty());
}

TEST(DefaultsStore, FailedWriteChangesNothingAndSaysWhy) {
    twtest::ScopedDefaults defaults;
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("key", "old"));
    const std::string before = twtest::readFile(defaults.defaultsPath());
    // An unprivileged process may read the settings and their lock but not write the folder.
    std::string folder = fs::path(defaults.defaultsPath()).parent_path();
    chmod(defaults.configHome().c_str(), 0755);
    chmod(folder.c_str(), 0755);
    chmod(defaults.defaultsPath().c_str(), 0644);
    chmod((defaults.defaultsPath() + ".lock").c_str(), 0666);

    int rc = twtest::runAsUnprivileged([&] {
        DefaultsStore mine(defaults.defaultsPath());
        if (mine.stringValue("key") != "old") return 1;
        tw::Status status = mine.setValue("key", "new");
        if (status.ok || status.reason.empty() || status.error != EACCES) return 2;
        if (mine.stringValue("key") != "old") return 3;
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(twtest::readFile(defaults.defaultsPath()), before);
}
