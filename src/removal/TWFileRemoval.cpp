#include "TWFileRemoval.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "Log.h"
#include "Trash.h"

namespace fs = std::filesystem;

tw::Status TWFileRemoval::removedFileToTrash(const TWFileUtility& file) {
    tw::Status status = tw::Trash::moveToTrash(file.filePath());
    if (!status) {
        if (status.path.empty()) status.path = file.filePath();
        tw::log("Failed to move file(%s) to Trash with error: %s", file.filePath().c_str(), status.reason.c_str());
    }
    return status;
}

tw::Status TWFileRemoval::removedFileDirect(const TWFileUtility& file) {
    const std::string& path = file.filePath();
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
