#include "RemovalTestSupport.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace removaltest {

namespace {

class DataHomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<twtest::TempDir>("twinsift-removal-data");
        setenv("XDG_DATA_HOME", dir_->path().c_str(), 1);
    }
    void TearDown() override { dir_.reset(); }
    const std::string& path() const { return dir_->path(); }

private:
    std::unique_ptr<twtest::TempDir> dir_;
};

DataHomeEnvironment* const gEnvironment =
    static_cast<DataHomeEnvironment*>(::testing::AddGlobalTestEnvironment(new DataHomeEnvironment));

}  // namespace

const std::string& dataHome() {
    return gEnvironment->path();
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

std::unique_ptr<twtest::TempDir> otherFileSystemDir(const twtest::TempDir& near) {
    const char* saved = getenv("TMPDIR");
    std::string old = saved ? saved : "";
    setenv("TMPDIR", "/dev/shm", 1);
    auto dir = std::make_unique<twtest::TempDir>("twinsift-other-fs");
    if (saved)
        setenv("TMPDIR", old.c_str(), 1);
    else
        unsetenv("TMPDIR");
    if (statOf(dir->path()).st_dev == statOf(near.path()).st_dev) return nullptr;
    return dir;
}

int runInChild(const std::function<int()>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        int rc = body();
        fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace removaltest
