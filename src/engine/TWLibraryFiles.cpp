#include "TWLibraryFiles.h"

#include <sys/stat.h>

#include "MediaLibraryService.h"

TWLibraryFiles TWLibraryFiles::ofInstalledLibraries() {
    auto service = tw::MediaLibraryService::installed();
    if (!service) return {};
    std::vector<std::string> paths = service->referencedFiles(MLMediaSourcePhotosIdentifier);
    std::vector<std::string> music = service->referencedFiles(MLMediaSourceiTunesIdentifier);
    paths.insert(paths.end(), music.begin(), music.end());
    return ofPaths(paths);
}

TWLibraryFiles TWLibraryFiles::ofPaths(const std::vector<std::string>& paths) {
    TWLibraryFiles set;
    for (const std::string& path : paths) {
        struct stat st {};
        // The file itself, through a link too: the walk compares the entries it meets,
        // links resolved, by the same identity.
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            set.files_.insert({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
    }
    return set;
}

bool TWLibraryFiles::contains(dev_t device, ino_t inode) const {
    return !files_.empty() && files_.count({static_cast<uint64_t>(device), static_cast<uint64_t>(inode)}) > 0;
}
