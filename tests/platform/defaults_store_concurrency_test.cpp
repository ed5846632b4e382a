#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "platform/DefaultsStore.h"

using tw::DefaultsStore;
using Json = DefaultsStore::Value;

namespace {

constexpr int kWrites = 100;

// Each writer sets its own key to every value in turn and adds one key per write; a
// lost update would show as a missing key or a stale last value.
int writeMany(const std::string& path, const std::string& name) {
    DefaultsStore store(path);
    for (int i = 0; i < kWrites; ++i) {
        if (!store.setValue(name, i)) return 1;
        if (!store.setValue(name + "." + std::to_string(i), true)) return 2;
    }
    return 0;
}

pid_t spawnWriter(const std::string& path, const std::string& name) {
    pid_t pid = fork();
    if (pid == 0) _exit(writeMany(path, name));
    return pid;
}

int exitCode(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

TEST(DefaultsStoreConcurrency, TwoProcessesWritingAtOnceKeepAllTheirChanges) {
    twtest::ScopedDefaults defaults;
    const std::string path = defaults.defaultsPath();
    pid_t first = spawnWriter(path, "first");
    pid_t second = spawnWriter(path, "second");
    ASSERT_EQ(exitCode(first), 0);
    ASSERT_EQ(exitCode(second), 0);

    Json onDisk = Json::parse(twtest::readFile(path));
    EXPECT_EQ(onDisk["first"], kWrites - 1);
    EXPECT_EQ(onDisk["second"], kWrites - 1);
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_TRUE(onDisk.contains("first." + std::to_string(i))) << i;
        EXPECT_TRUE(onDisk.contains("second." + std::to_string(i))) << i;
    }
}

TEST(DefaultsStoreConcurrency, ReadersSeeEveryWriteOfTheirOwnProcess) {
    twtest::ScopedDefaults defaults;
    auto& store = DefaultsStore::standard();
    ASSERT_TRUE(store.setValue("counter", 0));
    std::atomic<bool> done{false};
    std::atomic<int> regressions{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            int64_t last = 0;
            while (!done.load()) {
                store.reloadNow();  // keep the reload path busy too
                int64_t now = store.intValue("counter").value_or(-1);
                if (now < last) regressions.fetch_add(1);
                last = now;
                (void)store.generation();
            }
        });
    }
    for (int i = 1; i <= 100; ++i) {
        ASSERT_TRUE(store.setValue("counter", i));
        ASSERT_EQ(store.intValue("counter"), i) << "a write is visible to its own process at once";
    }
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(regressions.load(), 0) << "a reload never brings back an older value";
}
