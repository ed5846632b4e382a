#include "platform/Trash.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cerrno>

namespace tw {
namespace {

int errnoFor(const GError* error) {
    if (error->domain != G_IO_ERROR) return 0;
    switch (error->code) {
        case G_IO_ERROR_NOT_FOUND:
            return ENOENT;
        case G_IO_ERROR_PERMISSION_DENIED:
            return EACCES;
        case G_IO_ERROR_NOT_SUPPORTED:
            return ENOTSUP;
        case G_IO_ERROR_NO_SPACE:
            return ENOSPC;
        case G_IO_ERROR_READ_ONLY:
            return EROFS;
        case G_IO_ERROR_BUSY:
            return EBUSY;
        default:
            return 0;
    }
}

}  // namespace

Status Trash::moveToTrash(const std::string& path) {
    if (path.empty()) return Status::failure(path, "No path given", EINVAL);
    // The local GIO backend renames the item the path names (it looks at it with
    // lstat), so a final symbolic link moves as itself; the tests pin this down.
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    const gboolean ok = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (!ok) {
        Status status =
            Status::failure(path, error ? error->message : "Cannot move to the Trash", error ? errnoFor(error) : 0);
        if (error) g_error_free(error);
        return status;
    }
    return Status::success();
}

Status Trash::moveToTrash(const std::string& path, std::optional<TrashEntry>* entry) {
    if (entry) entry->reset();
    struct stat before {};
    const bool known = ::lstat(path.c_str(), &before) == 0;
    Status status = moveToTrash(path);
    if (status && known && entry) *entry = TrashEntry::locate(path, before.st_dev, before.st_ino);
    return status;
}

bool Trash::canTrash(const std::string& path) {
    if (path.empty()) return false;
    GFile* file = g_file_new_for_path(path.c_str());
    GFileInfo* info = g_file_query_info(file, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH, G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS,
                                        nullptr, nullptr);
    g_object_unref(file);
    if (!info) return true;
    const bool can = !g_file_info_has_attribute(info, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH) ||
                     g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_ACCESS_CAN_TRASH);
    g_object_unref(info);
    return can;
}

}  // namespace tw
