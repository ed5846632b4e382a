#pragma once
// Header-only helpers of the removal-run suites (the concurrency suite links no helper
// sources): groups made from paths, a source over a list of containers, a progress that
// records what it was shown, and a script executor that can hold a step.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "files/TWFileStamp.h"
#include "files/TWFileUtility.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFile.h"
#include "platform/ScriptExecutor.h"
#include "removal/TWRemovalProgress.h"
#include "removal/TWRemovalSource.h"

namespace removaltest {

using FilePtr = std::shared_ptr<TWFileUtility>;

// A group of the given records, each checked as flagged.
inline TWDuplicateFile::Ptr groupOf(const std::vector<std::pair<FilePtr, bool>>& members, bool similar = false) {
    members.front().first->setIsChecked(members.front().second);
    auto group = similar ? TWDuplicateFile::initWithSimilarFile(members.front().first)
                         : TWDuplicateFile::initWithFile(members.front().first);
    for (size_t i = 1; i < members.size(); ++i) {
        members[i].first->setIsChecked(members[i].second);
        group->addFile(members[i].first);
    }
    return group;
}

inline FilePtr recordOf(const std::string& path) {
    return TWFileUtility::initWithPath(path);
}

// Waits until the clock that stamps files has passed the change time of `path`, so that
// any change made from now on shows in its times (a removal trusts an earlier read of a
// file only then). False when the file is missing or the clock did not pass in time.
inline bool waitUntilSettled(const std::string& path) {
    const std::optional<TWFileStamp> stamp = TWFileStamp::ofPath(path);
    if (!stamp) return false;
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stamp->isSettledAt(TWFileStamp::fileClockNs())) {
        if (std::chrono::steady_clock::now() > bound) return false;
        std::this_thread::yield();
    }
    return true;
}

// Writes `content` over the file at `path` in place (the same inode).
inline void overwriteInPlace(const std::string& path, const std::string& content) {
    FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// The walk of the results manager over a plain list of containers.
class ContainerSource : public TWRemovalSource {
public:
    std::vector<TWCategoryFiles::Ptr> containers;

    explicit ContainerSource(std::vector<TWCategoryFiles::Ptr> list) : containers(std::move(list)) {}
    uint64_t numberOfFilesCheckedToRemoved() override {
        uint64_t n = 0;
        for (auto& c : containers) n += c->numberOfFilesCheckedToRemoved();
        return n;
    }
    uint64_t sizeOfFilesCheckedToRemoved() override {
        uint64_t n = 0;
        for (auto& c : containers) n += c->sizeOfFilesCheckedToRemoved();
        return n;
    }
    std::vector<TWCategoryFiles::Ptr> allDuplicateFiles() override { return containers; }
    void removeCheckedFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback) override {
        for (auto& c : containers)
            if (c->isCancelledRemoveCheckFilesUsingBlock(callback)) break;
    }
};

inline TWCategoryFiles::Ptr containerOf(TWCategory category, const std::vector<TWDuplicateFile::Ptr>& groups) {
    auto container = TWCategoryFiles::initWithCategory(category);
    for (auto& g : groups) container->addDuplicateFile(g);
    return container;
}

// Main thread only, as the run calls it.
class RecordingProgress : public TWRemovalProgress {
public:
    bool started = false;
    bool finished = false;
    size_t updates = 0;
    double percent = -1;
    std::string title;
    TWRemovalOutcome outcome;

    std::function<void()> onStart;  // runs inside removalDidStart (main thread)
    void removalDidStart() override {
        started = true;
        if (onStart) onStart();
    }
    void removalDidProgress(double p, const std::string& t) override {
        ++updates;
        percent = p;
        title = t;
    }
    void removalDidFinish(const TWRemovalOutcome& o) override {
        finished = true;
        outcome = o;
    }
};

// Answers every script with success; the call numbered `holdAt` (1-based) waits until
// release() after telling waitUntilHeld() that it is there.
// Answers every script with a run error, as a library whose application runs does.
class RefusingExecutor : public tw::ScriptExecutor {
public:
    explicit RefusingExecutor(std::string reason) : reason_(std::move(reason)) {}
    Result run(const std::string& text) override {
        scripts.push_back(text);
        return Result{true, "", "", reason_};
    }
    std::vector<std::string> scripts;  // run on the removal's worker; read after it finished

private:
    std::string reason_;
};

class HoldingExecutor : public tw::ScriptExecutor {
public:
    explicit HoldingExecutor(size_t holdAt = 0) : holdAt_(holdAt) {}
    Result run(const std::string& text) override {
        std::unique_lock lock(mutex_);
        scripts_.push_back(text);
        if (scripts_.size() == holdAt_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [&] { return released_; });
        }
        return Result{true, "", "ok", std::nullopt};
    }
    bool isHeld() {
        std::lock_guard lock(mutex_);
        return held_;
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    std::vector<std::string> scripts() {
        std::lock_guard lock(mutex_);
        return scripts_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> scripts_;
    size_t holdAt_;
    bool held_ = false;
    bool released_ = false;
};

}  // namespace removaltest
