// Whole scans of a generated tree without images, warm cache, next to the floor of
// one thread that lists and stats every entry (`find TREE -printf '%s %T@\n'`), at N
// and 2N files, with the peak memory per scanned file.
//
// The tree is made once under $TWINSIFT_SCAN_BENCH_DIR (default
// /tmp/twinsift-scan-bench): two halves of $TWINSIFT_SCAN_BENCH_FILES files each
// (default 200000). N scans the first half, 2N both. bench/scan-floor.sh runs every
// case in a process of its own so that each peak is measured from a fresh heap.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "engine/TWSearchDuplicateFiles.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

namespace {

std::string envOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

const std::string kBase = envOr("TWINSIFT_SCAN_BENCH_DIR", "/tmp/twinsift-scan-bench");
const long kHalf = std::stol(envOr("TWINSIFT_SCAN_BENCH_FILES", "200000"));

std::string half(int index) {
    return kBase + "/half" + std::to_string(index);
}

// 100 files a folder, 100 folders a level; one file in ten is a copy of an earlier one
// (every fourth of those differs only outside the sampled kilobytes); sizes 0..12 KB.
void makeHalf(int index) {
    const std::string root = half(index);
    const std::string done = root + "/.complete-" + std::to_string(kHalf);
    if (access(done.c_str(), F_OK) == 0) return;
    std::mt19937_64 random(1000 + index);
    std::vector<std::string> recent;
    const char* extensions[] = {"txt", "pdf", "mp3", "zip", "dat", "mov", "doc", "csv"};
    mkdir(kBase.c_str(), 0755);
    mkdir(root.c_str(), 0755);
    std::string buffer;
    for (long i = 0; i < kHalf; ++i) {
        const std::string top = root + "/d" + std::to_string(i / 10000);
        const std::string folder = top + "/e" + std::to_string((i / 100) % 100);
        if (i % 10000 == 0) mkdir(top.c_str(), 0755);
        if (i % 100 == 0) mkdir(folder.c_str(), 0755);
        if (!recent.empty() && random() % 10 == 0) {
            buffer = recent[random() % recent.size()];
            if (random() % 4 == 0 && buffer.size() > 7000) buffer[100] ^= 1;
        } else {
            buffer.resize(random() % 12288);
            for (auto& c : buffer) c = static_cast<char>(random());
            if (recent.size() < 64)
                recent.push_back(buffer);
            else
                recent[random() % recent.size()] = buffer;
        }
        const std::string path = folder + "/f" + std::to_string(i) + "." + extensions[random() % 8];
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size())) std::abort();
        close(fd);
    }
    std::ofstream(done) << "ok\n";
}

std::string roots(int halves) {
    return halves == 1 ? half(0) : half(0) + " " + half(1);
}

void warm(int halves) {
    makeHalf(0);
    if (halves == 2) makeHalf(1);
    const std::string command = "find " + roots(halves) + " -printf '%s %T@\\n' > /dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
}

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
    return 0;
}

void BM_FindFloor(benchmark::State& state) {
    const int halves = static_cast<int>(state.range(0));
    warm(halves);
    const std::string command = "find " + roots(halves) + " -printf '%s %T@\\n' > /dev/null";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) std::abort();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["files"] = static_cast<double>(kHalf * halves);
}

void BM_Scan(benchmark::State& state) {
    const int halves = static_cast<int>(state.range(0));
    warm(halves);
    tw::MainQueue& main = tw::MainQueue::shared();
    main.adoptCurrentThread();
    TWSearchDuplicateFiles::Options options;
    options.sessionEvents = false;
    options.waitForCounts = state.range(1) != 0;
    std::vector<std::string> rootList = {half(0)};
    if (halves == 2) rootList.push_back(half(1));

    double bytesPerFile = -1, scanned = 0, duplicates = 0;
    for (auto _ : state) {
        auto engine = TWSearchDuplicateFiles::init(options);
        engine->searchRootPaths(rootList);
        bool finished = false;
        auto observer = tw::NotificationCenter::defaultCenter().addObserver(
            TWSearchFilesFinishedNotification, [&](const tw::Notification&) { finished = true; });
        std::ofstream("/proc/self/clear_refs") << "5";  // restart the peak at the current size
        const long before = statusKiB("VmRSS");
        const auto start = std::chrono::steady_clock::now();
        engine->startSearch();
        if (!main.runUntil([&] { return finished; }, std::chrono::minutes(30))) std::abort();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        scanned = static_cast<double>(engine->numberOfSearchFiles());
        duplicates = static_cast<double>(engine->numberOfDuplicateFiles());
        // The first iteration starts from a fresh heap; later ones reuse freed memory.
        if (bytesPerFile < 0) bytesPerFile = (statusKiB("VmHWM") - before) * 1024.0 / scanned;
    }
    state.counters["files"] = scanned;
    state.counters["duplicates"] = duplicates;
    state.counters["peak_bytes_per_file"] = bytesPerFile;
}

}  // namespace

BENCHMARK(BM_FindFloor)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Scan)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->ArgNames({"halves", "waitForCounts"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
