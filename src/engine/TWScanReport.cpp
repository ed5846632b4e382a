#include "TWScanReport.h"

#include <cstring>

#include "Log.h"

std::string TWScanReport::cannotListFolder(int error) {
    return std::string("cannot list folder: ") + std::strerror(error);
}

std::string TWScanReport::cannotEnterFolder(int error) {
    return std::string("cannot enter folder: ") + std::strerror(error);
}

std::string TWScanReport::cannotReadAttributes(int error) {
    return std::string("cannot read attributes: ") + std::strerror(error);
}

std::string TWScanReport::pathTooLong() {
    return "path longer than the system allows";
}

void TWScanReport::addSkipped(std::string path, std::string reason) {
    skippedCount_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    if (skipped_.size() >= kKeptEntries) return;
    tw::log("Skipped(%s): %s.", path.c_str(), reason.c_str());
    skipped_.push_back({std::move(path), std::move(reason)});
}

void TWScanReport::addNotice(std::string path, std::string text) {
    std::lock_guard lock(mutex_);
    if (notices_.size() >= kKeptEntries) return;
    notices_.push_back({std::move(path), std::move(text)});
}

void TWScanReport::clear() {
    std::lock_guard lock(mutex_);
    skipped_.clear();
    notices_.clear();
    skippedCount_.store(0, std::memory_order_relaxed);
}

std::vector<TWScanReport::Entry> TWScanReport::skippedPaths() const {
    std::lock_guard lock(mutex_);
    return skipped_;
}

std::vector<TWScanReport::Entry> TWScanReport::notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}
