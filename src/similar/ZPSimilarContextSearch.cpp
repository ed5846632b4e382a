// The folder search of ZPSimilarContext: walks on background workers, progress on the
// main thread, start and end reported to the delegate.

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "platform/Executors.h"
#include "platform/MainQueue.h"
#include "similar/ZPSimilarContext.h"

namespace {

// The folder entries, in the order listed, hidden ones included; nothing for a folder
// that cannot be read.
std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace

// The folders being walked above the current one, by identity, so that a symbolic
// link back to one of them is not followed round and round.
struct ZPSimilarContext::WalkState {
    std::vector<std::pair<dev_t, ino_t>> ancestors;
};

void ZPSimilarContext::findSimilarImages(ZPSimilarImagesList& groups, const std::string& folder,
                                         const ProgressBlock& process, bool recursive, bool concurrent) {
    WalkState state;
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) state.ancestors.emplace_back(st.st_dev, st.st_ino);
    walk(groups, folder, process, recursive, concurrent, state);
}

void ZPSimilarContext::walk(ZPSimilarImagesList& groups, const std::string& folder, const ProgressBlock& process,
                            bool recursive, bool concurrent, WalkState& state) {
    for (const std::string& name : listFolder(folder)) {
        if (terminalFind()) return;
        const std::string path = joinPath(folder, name);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;  // gone, or a dangling link
        if (S_ISDIR(st.st_mode)) {
            if (!recursive) continue;
            const std::pair<dev_t, ino_t> identity{st.st_dev, st.st_ino};
            auto& ancestors = state.ancestors;
            if (std::find(ancestors.begin(), ancestors.end(), identity) != ancestors.end()) continue;
            ancestors.push_back(identity);
            walk(groups, path, process, recursive, concurrent, state);
            ancestors.pop_back();
        } else if (S_ISREG(st.st_mode) && isSupportedImagePath(path)) {
            insertFound(groups, path, process, concurrent);
        }
    }
}

void ZPSimilarContext::insertFound(ZPSimilarImagesList& groups, const std::string& path, const ProgressBlock& process,
                                   bool concurrent) {
    std::shared_ptr<ZPImageSignature> image = ZPImageSignature::initWithPathFile(path, puzzleContext());
    ZPSimilarImagesList snapshot;
    if (concurrent) {
        std::lock_guard<std::mutex> lock(similarQueue_);
        if (image) collectionSimilarImages(groups, image);
        if (process) snapshot = groups;
    } else {
        if (image) collectionSimilarImages(groups, image);
        if (process) snapshot = groups;
    }
    if (process) tw::MainQueue::shared().postAndWait([&process, &snapshot] { process(snapshot); });
}

void ZPSimilarContext::findSimilarImagesAtFolder(const std::string& folder, ProgressBlock process, bool recursive) {
    setTerminalFind(false);
    std::shared_ptr<ZPSimilarContext> self = shared_from_this();
    tw::WorkerPool::defaultPriority().submit([self, folder, process = std::move(process), recursive] {
        self->setContextOptions();
        self->postStartFindProcess();
        ZPSimilarImagesList groups;
        self->findSimilarImages(groups, folder, process, recursive, false);
        self->postCompleteFindProcessWithSimilarImages(groups);
    });
}

void ZPSimilarContext::findSimilarImagesAtFolders(const std::vector<std::string>& folders, ProgressBlock process,
                                                  bool recursive) {
    setTerminalFind(false);
    std::vector<std::string> roots = filterSubfolders(folders, recursive);
    std::shared_ptr<ZPSimilarContext> self = shared_from_this();
    tw::WorkerPool::defaultPriority().submit([self, roots = std::move(roots), process = std::move(process), recursive] {
        self->postStartFindProcess();
        self->setContextOptions();
        ZPSimilarImagesList groups;
        {
            tw::TaskGroup walks;
            for (const std::string& root : roots)
                walks.run(tw::WorkerPool::defaultPriority(), [&self, &groups, &root, &process, recursive] {
                    self->findSimilarImages(groups, root, process, recursive, true);
                });
            walks.wait();
        }
        ZPSimilarImagesList result;
        {
            std::lock_guard<std::mutex> lock(self->similarQueue_);
            result = groups;
        }
        self->postCompleteFindProcessWithSimilarImages(result);
    });
}

void ZPSimilarContext::postStartFindProcess() {
    std::shared_ptr<ZPSimilarContext> self = shared_from_this();
    tw::MainQueue::shared().post([self] {
        if (auto delegate = self->delegate()) delegate->similarContextStartFindProcess(*self);
    });
}

void ZPSimilarContext::postCompleteFindProcessWithSimilarImages(const ZPSimilarImagesList& groups) {
    std::shared_ptr<ZPSimilarContext> self = shared_from_this();
    tw::MainQueue::shared().post([self, groups] {
        if (auto delegate = self->delegate()) delegate->similarContextCompleteWithResult(*self, groups);
    });
}
