#pragma once
// Helpers of the removal suites: a second file system for moves across devices, a
// forked child for limits that must not touch the test process, and the private Trash
// that GIO uses in this binary.

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "TestSupport.h"

namespace removaltest {

// A temporary folder on a file system other than the one of twtest::TempDir (/dev/shm,
// a tmpfs); null when there is none, which fails the calling test.
std::unique_ptr<twtest::TempDir> otherFileSystemDir(const twtest::TempDir& near);

// Runs `body` in a forked child and answers its exit status, -1 when it died.
int runInChild(const std::function<int()>& body);

// The folder XDG_DATA_HOME names for this binary (set before any GIO call).
const std::string& dataHome();

struct stat statOf(const std::string& path);

}  // namespace removaltest
