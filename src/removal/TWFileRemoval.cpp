#include "removal/TWFileRemoval.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Log.h"
#include "platform/Trash.h"

namespace fs = std::filesystem;

tw::Status TWFileRemoval::removedFileToTrash(const TWFileUtility& file, std::optional<tw::TrashEntry>* entry) {
    tw::Status status = tw::Trash::moveToTrash(file.filePath(), entry);
    if (!status) {
        if (status.path.empty()) status.path = file.filePath();
        tw::log("Failed to move file(%s) to Trash with error: %s", file.filePath().c_str(), status.reason.c_str());
    }
    return status;
}

namespace {

tw::Status deleteItem(const std::string& path) {
    std::error_code ec;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        ec = std::error_code(errno, std::generic_category());
    } else if (S_ISDIR(st.st_mode)) {
        // remove_all removes links found inside as links; it never descends through them.
        fs::remove_all(path, ec);
    } else if (::unlink(path.c_str()) != 0) {
        ec = std::error_code(errno, std::generic_category());
    }
    if (!ec) return tw::Status::success();
    if (ec.value() == 0) {
        tw::log("Failed to remove file(%s) directly with unknown error", path.c_str());
        return tw::Status::failure(path, "unknown error");
    }
    tw::log("Failed to remove file(%s) directly with error: %s", path.c_str(), ec.message().c_str());
    return tw::Status::failure(path, ec.message(), ec.value());
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::atomic<unsigned long> gAsideCounter{0};

}  // namespace

tw::Status TWFileRemoval::removedFileDirect(const TWFileUtility& file) {
    return deleteItem(file.filePath());
}

tw::Status TWFileRemoval::removedFileDirect(const TWFileUtility& file, const IsStill& isStill) {
    const std::string& path = file.filePath();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        const int error = errno;
        return tw::Status::failure(path, std::error_code(error, std::generic_category()).message(), error);
    }
    const bool isFolder = S_ISDIR(st.st_mode);
    const std::string prefix = folderOf(path) + "/.twinsift-removing-" + std::to_string(::getpid()) + "-";
    std::string aside;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        aside = prefix + std::to_string(gAsideCounter.fetch_add(1));
        error = TWFolderMove::renameNoReplace(path, aside, isFolder, TWFolderMove::Options{});
    }
    if (error != 0) {
        const std::string reason = std::error_code(error, std::generic_category()).message();
        tw::log("Failed to set file(%s) aside for its removal: %s", path.c_str(), reason.c_str());
        return tw::Status::failure(path, "it could not be set aside for its removal: " + reason, error);
    }
    if (isStill(aside)) {
        tw::Status status = deleteItem(aside);
        if (status) return status;
        if (TWFolderMove::renameNoReplace(aside, path, isFolder, TWFolderMove::Options{}) == 0) status.path = path;
        return status;
    }
    tw::log("Left file(%s) in place: it changed just before its removal", path.c_str());
    if (TWFolderMove::renameNoReplace(aside, path, isFolder, TWFolderMove::Options{}) == 0)
        return tw::Status::failure(path, "it changed just before its removal");
    tw::log("Could not give file(%s) its name back; it stays as %s", path.c_str(), aside.c_str());
    return tw::Status::failure(path, "it changed just before its removal, and stays as " + aside);
}

tw::Status TWFileRemoval::moveFile(const TWFileUtility& file, const std::string& folder,
                                   const TWFolderMove::Options& options) {
    if (folder.empty()) {
        tw::log("Move to folder must not be nil");
        return tw::Status::failure(file.filePath(), "no destination folder was given");
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        // A failure to create it shows in the move below.
        std::error_code ignored;
        fs::create_directories(folder, ignored);
    }
    std::string destination;
    tw::Status status = TWFolderMove::moveIntoFolder(file.filePath(), folder, &destination, options);
    if (!status) {
        if (status.reason.empty())
            tw::log("Failed to move file(%s) to dest(%s) with unknown error.", file.filePath().c_str(),
                    destination.c_str());
        else
            tw::log("Failed to move file(%s) to dest(%s) with error: %s", file.filePath().c_str(), destination.c_str(),
                    status.reason.c_str());
    }
    return status;
}
