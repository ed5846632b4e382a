// How many entries per second the scan's ignore test decides, over a generated tree
// of 100,000 paths (2,000 folders, 98,000 files) with some ignored types and folders
// set, hidden items skipped and a size window in force.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/DefaultsStore.h"
#include "prefs/TWPreference.h"

namespace {

constexpr int kTopFolders = 40;
constexpr int kSubFolders = 49;  // 40 + 40 x 49 = 2,000 folders
constexpr int kFilesPerFolder = 49;
constexpr const char* kExtensions[] = {"jpg", "txt", "log", "TMP", "mp3", "pdf", "", "DS_Store"};

struct Fixture {
    std::string root;
    std::vector<std::string> paths;

    Fixture() {
        const char* tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/twinsift-ignore-bench-XXXXXX";
        root = mkdtemp(templ.data());
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        tw::DefaultsStore::resetStandard();
        TWPreference::resetShared();

        int n = 0;
        for (int t = 0; t < kTopFolders; ++t) {
            std::string top = root + "/tree/t" + std::to_string(t);
            std::filesystem::create_directories(top);
            paths.push_back(top);
            for (int s = 0; s < kSubFolders; ++s) {
                std::string sub = top + "/s" + std::to_string(s);
                mkdir(sub.c_str(), 0755);
                paths.push_back(sub);
                addFiles(sub, n);
            }
        }
        while (paths.size() > 100000) paths.pop_back();
        for (int t = 0; paths.size() < 100000; ++t) addFiles(root + "/tree/t" + std::to_string(t % kTopFolders), n);

        auto& prefs = TWPreference::shared();
        prefs.setFilterFileTypeArray(std::vector<std::string>{"log", ".TMP", "bak", "iso"});
        prefs.addFilterFileFolders({root + "/tree/t3", root + "/tree/t7/s1", root + "/tree/t9/s9/f0.txt",
                                    "/nonexistent/one", "/nonexistent/two"});
        prefs.setFilterMinSize(1);
        prefs.setFilterMaxSize(1 << 20);
    }

    void addFiles(const std::string& folder, int& n) {
        for (int f = 0; f < kFilesPerFolder && paths.size() < 100000; ++f, ++n) {
            const char* ext = kExtensions[n % 8];
            std::string name = n % 97 == 0 ? ".f" : "f";  // a few hidden files
            name += std::to_string(n);
            std::string path = folder + "/" + name + (*ext ? std::string(".") + ext : std::string());
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                if (n % 5 != 0 && write(fd, "content", 7) != 7) abort();
                close(fd);
            }
            paths.push_back(path);
        }
    }

    ~Fixture() {
        TWPreference::resetShared();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_FileFolderIsIgnored(benchmark::State& state) {
    const auto& paths = fixture().paths;
    auto& prefs = TWPreference::shared();
    size_t ignored = 0;
    for (auto _ : state) {
        for (const auto& path : paths) ignored += prefs.fileFolderIsIgnored(path) ? 1 : 0;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * paths.size()));
    state.counters["ignored"] = static_cast<double>(ignored) / static_cast<double>(state.iterations());
}

void BM_FileFolderIsIgnoredByType(benchmark::State& state) {
    // Entries that an ignored type decides: only the .hidden probe touches the file
    // system, the kind and size probes are never reached.
    std::vector<std::string> names;
    for (const auto& p : fixture().paths) {
        auto ext = p.substr(p.find_last_of('.') + 1);
        if (ext == "log" || ext == "TMP") names.push_back(p);
    }
    auto& prefs = TWPreference::shared();
    for (auto _ : state) {
        for (const auto& path : names) benchmark::DoNotOptimize(prefs.fileFolderIsIgnored(path));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * names.size()));
}

}  // namespace

BENCHMARK(BM_FileFolderIsIgnored)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileFolderIsIgnored)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(2);
BENCHMARK(BM_FileFolderIsIgnoredByType)->Unit(benchmark::kMillisecond)->UseRealTime();
