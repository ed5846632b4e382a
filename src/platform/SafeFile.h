#pragma once
// The one way any part of Twinsift reads a file's content (hashes, digests, image
// decoding, image headers, plists, thumbnails, previews).
//
// open() never blocks (a FIFO or a device is not waited on), never follows a symbolic
// link in the last component, and hands on only a regular file (S_ISREG, checked on
// the opened descriptor, so nothing can be swapped in between). Libraries are given
// the opened descriptor or a FILE* made from a duplicate of it, never the path.
// A SafeFile is owned by one thread at a time; distinct SafeFiles are independent.
//
// A walk that holds a folder open may say so for its thread (FolderScope): an open() of
// a path directly inside that folder then looks up only the name, relative to the
// folder's descriptor, instead of walking every component of the path again (and
// TWFileUtility::readEntryAttributes does the same for its statx). The
// flags and the checks on the opened descriptor are the same either way.

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class SafeFile {
public:
    // The opened file, or nullopt with errno-style `*error` set (ELOOP for a link,
    // EINVAL for anything that is not a regular file, else the open's errno).
    static std::optional<SafeFile> open(const std::string& path, int* error = nullptr);

    // While one lives, open() of a path directly inside `folderPath` on this thread
    // opens the name relative to `folderFd`. `folderPath` is the folder's resolved
    // path (no link in it), as the records made from its entries name it; the caller
    // keeps `folderFd` open and `folderPath` alive for the scope's lifetime. Scopes nest (the innermost
    // answers); each lives on the stack of the thread that made it.
    class FolderScope {
    public:
        FolderScope(int folderFd, const std::string& folderPath);
        ~FolderScope();
        FolderScope(const FolderScope&) = delete;
        FolderScope& operator=(const FolderScope&) = delete;
        // The name of `path` inside the folder, or nullptr when it lies elsewhere.
        const char* nameInside(const std::string& path) const;
        int fd() const { return fd_; }
        // The innermost scope of the calling thread, nullptr when none.
        static const FolderScope* current();

    private:
        const int fd_;
        const std::string& path_;
        FolderScope* const outer_;
    };

    SafeFile(SafeFile&& other) noexcept;
    SafeFile& operator=(SafeFile&& other) noexcept;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile();

    // The descriptor for a library to read with, as an ordinary blocking one.
    int fd() const {
        clearNonBlocking();
        return fd_;
    }
    const struct stat& status() const { return st_; }
    uint64_t size() const { return static_cast<uint64_t>(st_.st_size); }

    // Reads exactly `length` bytes at `offset` unless the file ends first; returns the
    // number read, or -1 on a read error (errno kept).
    long readAt(uint64_t offset, void* buffer, size_t length) const;
    // One read of at most `length` bytes at `offset`: fewer only where the file ends
    // (or, on some network and user-space file systems, where a read stops early).
    // Returns the number read, 0 at the end, or -1 on a read error (errno kept).
    long readOnce(uint64_t offset, void* buffer, size_t length) const;
    // Whether a readOnce() that asked for `wanted` bytes, got `got` and so reached
    // `offset` found the end of the file, which saves the read that would answer 0.
    bool endsAt(uint64_t offset, size_t got, size_t wanted) const;
    // The whole content, at most `limit` bytes; nullopt on a read error.
    std::optional<std::vector<unsigned char>> readAll(size_t limit = SIZE_MAX) const;
    // A stdio stream over a duplicate of the descriptor, positioned at the start; the
    // caller closes it (FilePtr does). nullptr on failure.
    struct FileCloser {
        void operator()(FILE* f) const {
            if (f) fclose(f);
        }
    };
    using FilePtr = std::unique_ptr<FILE, FileCloser>;
    FilePtr openStream() const;
    // Where the file's first byte lies on its device (FIEMAP), to read files in their
    // order on a rotating disk; nullopt where the file system cannot tell (or the file
    // has no extent yet).
    std::optional<uint64_t> physicalOffset() const;

private:
    SafeFile(int fd, const struct stat& st) : fd_(fd), st_(st) {}
    void clearNonBlocking() const;
    int fd_ = -1;
    struct stat st_ {};
    // open() keeps O_NONBLOCK, which a regular file's reads ignore; it is cleared only
    // when the descriptor is handed on, which saves a system call on every file a scan
    // hashes.
    mutable bool blocking_ = false;
};

}  // namespace tw
