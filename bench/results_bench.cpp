// The results browser's hot paths on a large result: 100,000 groups (99,000 exact
// groups of two records over five categories, and 1,000 similar groups of three images
// whose first two are byte-identical). Each case changes one view setting and reads the
// displayed list, as the browser does; the flat-list case selects 1,000 groups and
// reads the rows. Search and collation keys are cached per record after first use; the
// "Cold" cases measure that first use.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"

namespace {

constexpr size_t kExactGroups = 99'000;
constexpr size_t kSimilarGroups = 1'000;

std::string makeFile(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        if (::ftruncate(fd, size) != 0) std::abort();
        ::close(fd);
    }
    return path;
}

std::string makeFileWithContent(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        if (::write(fd, content.data(), content.size()) != ssize_t(content.size())) std::abort();
        ::close(fd);
    }
    return path;
}

// Builds the result once, in a folder removed at exit, with a private settings folder.
class Result {
public:
    static Result& shared() {
        static Result result;
        return result;
    }
    ~Result() { std::filesystem::remove_all(root_); }
    const std::vector<TWCategoryFiles::Ptr>& containers() const { return containers_; }

private:
    Result() {
        const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        root_ = std::string(base) + "/twinsift-results-bench-" + std::to_string(::getpid());
        std::filesystem::create_directories(root_ + "/config");
        ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);

        const char* extensions[] = {"txt", "mp3", "mp4", "zip", "jpg"};
        const char* stems[] = {"Résumé ", "report_", "Song ", "holiday clip ", "Photo-"};
        std::vector<TWCategoryFiles::Ptr> byExtension;
        for (const char* ext : extensions) {
            byExtension.push_back(TWCategoryFiles::initWithCategory(TWCategoryManager::categoryOfFileExtension(ext)));
        }
        for (size_t i = 0; i < kExactGroups; ++i) {
            const size_t kind = i % 5;
            const std::string path =
                root_ + "/" + stems[kind] + std::to_string((i * 7919) % 1'000'003) + "." + extensions[kind];
            makeFile(path, off_t(1 + (i * 31) % 5'000'000));
            auto group = TWDuplicateFile::initWithFile(TWFileUtility::initWithPath(path));
            group->addFile(TWFileUtility::initWithPath(path));
            byExtension[kind]->addDuplicateFile(group);
        }
        for (size_t i = 0; i < kSimilarGroups; ++i) {
            const std::string stem = root_ + "/Beach " + std::to_string(i);
            const std::string same = "same image " + std::to_string(i);
            auto group = TWDuplicateFile::initWithSimilarFile(
                TWFileUtility::initWithPath(makeFileWithContent(stem + ".jpg", same)));
            group->addFile(TWFileUtility::initWithPath(makeFileWithContent(stem + " copy.jpg", same)));
            group->addFile(TWFileUtility::initWithPath(makeFileWithContent(stem + " other.jpg", "other " + same)));
            byExtension[4]->addDuplicateFile(group);
        }
        containers_ = byExtension;
    }

    std::string root_;
    std::vector<TWCategoryFiles::Ptr> containers_;
};

TWDuplicateFilesManager& freshManager() {
    TWDuplicateFilesManager::resetShared();
    TWFilesListManager::resetShareFilesListManager();
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    manager.updateDuplicateFiles(Result::shared().containers());
    return manager;
}

void BM_ChangeCategory(benchmark::State& state) {
    TWDuplicateFilesManager& manager = freshManager();
    const TWCategory categories[] = {TWCategory_allFiles, TWCategory_documents, TWCategory_images};
    size_t n = 0;
    for (auto _ : state) {
        manager.setCategory(categories[n++ % 3]);
        benchmark::DoNotOptimize(manager.displayDuplicateFiles().size());
    }
}
BENCHMARK(BM_ChangeCategory)->Unit(benchmark::kMillisecond);

void BM_ChangeFilterMethod(benchmark::State& state) {
    TWDuplicateFilesManager& manager = freshManager();
    manager.setCategory(TWCategory_images);
    size_t n = 0;
    for (auto _ : state) {
        manager.setFilterMethod(n++ % 2 ? TWFilterMethodIncludingSimilar : TWFilterMethodExcludingSimilar);
        benchmark::DoNotOptimize(manager.displayDuplicateFiles().size());
    }
}
BENCHMARK(BM_ChangeFilterMethod)->Unit(benchmark::kMillisecond);

void BM_ChangeSearchText(benchmark::State& state) {
    TWDuplicateFilesManager& manager = freshManager();
    manager.setSortType(TWSortTypeName);
    const char* texts[] = {"resume 1", "SONG 42", "é", "photo-9"};
    size_t n = 0;
    for (auto _ : state) {
        manager.setFilterString(std::string(texts[n++ % 4]));
        benchmark::DoNotOptimize(manager.displayDuplicateFiles().size());
    }
}
BENCHMARK(BM_ChangeSearchText)->Unit(benchmark::kMillisecond);

void BM_ChangeSortKey(benchmark::State& state) {
    TWDuplicateFilesManager& manager = freshManager();
    manager.displayDuplicateFiles();
    const TWSortType keys[] = {TWSortTypeName, TWSortTypeSize, TWSortTypeCount, TWSortTypeCategory};
    size_t n = 0;
    for (auto _ : state) {
        manager.setSortType(keys[n++ % 4]);
        benchmark::DoNotOptimize(manager.displayDuplicateFiles().size());
    }
}
BENCHMARK(BM_ChangeSortKey)->Unit(benchmark::kMillisecond);

// First use of the keys after a new result: fold every name, then collate every name.
void BM_ColdSearchThenNameSort(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TWDuplicateFilesManager& manager = freshManager();
        state.ResumeTiming();
        manager.setFilterString(std::string("o"));
        benchmark::DoNotOptimize(manager.displayDuplicateFiles().size());
        manager.setSortType(TWSortTypeName);
        benchmark::DoNotOptimize(manager.displayDuplicateFiles().size());
    }
}
BENCHMARK(BM_ColdSearchThenNameSort)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FlatListOf1000Groups(benchmark::State& state) {
    TWDuplicateFilesManager& manager = freshManager();
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    manager.displayDuplicateFiles();
    size_t n = 0;
    for (auto _ : state) {
        TWDuplicateFilesManager::IndexSet selection;
        const size_t start = (n++ % 50) * 1000;
        for (size_t i = start; i < start + 1000; ++i) selection.insert(i);
        manager.setSelection(std::move(selection));
        benchmark::DoNotOptimize(files.numberOfFilesItem());
    }
}
BENCHMARK(BM_FlatListOf1000Groups)->Unit(benchmark::kMillisecond);

}  // namespace
