#pragma once
// The path of a file record, kept in two parts: its folder's part (everything up to and
// with the last "/"), which the records of one folder share, and its own name (the
// rest). A scan keeps a record for every file in a group, often several of one folder,
// and a home folder's paths are long: a whole path per record was a third of its memory.
//
// The parts always give back the very text they were made from, whatever it is (a
// relative path, a trailing "/", no "/" at all, bytes that are no UTF-8).
//
// A path made on a thread shares the folder part of the path that thread made last when
// it is the same text: a walk makes the records of a folder's entries one after another.
// Whoever keeps a path per folder shares it on purpose (TWRecordPath(folder, name)): the
// duplicate index does, for the group's first files it makes again from their compact
// form. A shared part is never changed, so paths may be read and copied from any thread.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

class TWRecordPath {
public:
    TWRecordPath() = default;
    explicit TWRecordPath(std::string_view path);
    // `name` in the folder of `folder`, a path that ends in "/": the two share its folder
    // part. For those who keep one path per folder (no thread's last folder is asked).
    TWRecordPath(const TWRecordPath& folder, std::string_view name);
    // A path of a folder alone ("/a/b/"), its part its own.
    static TWRecordPath ofFolder(std::string_view folderWithSlash);
    // Where a path's name begins: after its last "/", 0 without one. The parts of every
    // path are cut here, and whoever keys by the parts of a whole path cuts it the same.
    static size_t nameStart(std::string_view path) {
        const size_t slash = path.rfind('/');
        return slash == std::string_view::npos ? 0 : slash + 1;
    }
    TWRecordPath(const TWRecordPath& other);
    TWRecordPath(TWRecordPath&& other) noexcept;
    TWRecordPath& operator=(TWRecordPath other) noexcept;
    ~TWRecordPath();

    std::string str() const;
    // With its last "/"; "" for a path without one.
    std::string_view folder() const;
    // After the last "/": "" for a path that ends in one.
    std::string_view name() const;
    size_t size() const { return folder().size() + name().size(); }
    bool empty() const { return size() == 0; }
    // The same text (paths of different folder parts may still be equal).
    bool operator==(const TWRecordPath& other) const;
    bool operator==(std::string_view path) const;
    // Whether the two share one folder part (for tests).
    bool sharesFolderWith(const TWRecordPath& other) const { return folder_ && folder_ == other.folder_; }

private:
    // Counted, its text right after it.
    struct Part {
        std::atomic<uint32_t> references;
        uint32_t length;
        const char* text() const { return reinterpret_cast<const char*>(this + 1); }
        std::string_view view() const { return {text(), length}; }
    };
    static Part* makePart(std::string_view text);
    static void retain(Part* part);
    static void release(Part* part);
    static Part* sharedFolder(std::string_view text);

    Part* folder_ = nullptr;  // null for a path without "/"
    Part* name_ = nullptr;    // null for an empty name
};
