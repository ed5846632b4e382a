#pragma once
// A duplicate group: an ordered list of file records that a scan found to be copies of
// one another (an exact group), or images that look alike (a similar group), or the
// exact copies inside a similar group (a sub-group, made by the similar group itself).
// The group keeps a running count and byte total of its checked members and carries
// out the user's edits: check, uncheck, ignore, removal through a callback, and the
// automatic selection rules (TWDuplicateFileRules.cpp).
//
// Threading: safe from any thread. Each group guards its members, its counters and its
// sub-group cache with a mutex of its own; every operation runs under it and returns
// when done. Operations that may read a file (content hashes for sub-groups, a
// resolution) read it with no group lock held wherever the result allows.
//
// Lock order, which keeps the parent/sub-group forwarding free of deadlocks:
//   category container  ->  sub-group  ->  similar group  ->  file record
// A container may hold its lock while it calls a group. A sub-group may hold its lock
// while it calls its parent (the removal walk forwards each member as it goes). A
// similar group never holds its lock while it locks one of its sub-groups: it builds new
// sub-groups before anyone else can see them and recounts existing ones after releasing
// its own lock. Groups never call into a container.
//
// Ownership: a sub-group holds its parent strongly (the parent must outlive every
// sub-group that a view still lists); the parent's cache holds its sub-groups weakly, so
// the two never form a cycle. A cache whose sub-groups nobody holds any more counts as
// discarded and is built afresh on the next read, with the same result.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "files/TWFileUtility.h"
#include "prefs/TWPreferenceTypes.h"

class TWDuplicateFile : public std::enable_shared_from_this<TWDuplicateFile> {
public:
    using FilePtr = std::shared_ptr<TWFileUtility>;
    using Ptr = std::shared_ptr<TWDuplicateFile>;
    // Called with each checked member leaving the group; set `stop` to end the walk.
    using RemoveCallback = std::function<void(const FilePtr& file, bool& stop)>;

    // The answer of indexOfFileUtility for a record that is not a member.
    static constexpr size_t kNotFound = static_cast<size_t>(INT64_MAX);

    // --- creation; each yields null when `file` is null ---
    // An exact group of one file; counters count the file when its flag is set.
    static Ptr initWithFile(const FilePtr& file);
    // The same, as a sub-group of `parent` when one is given.
    static Ptr initWithFile(const FilePtr& file, const Ptr& parent);
    // A similar group of one image; the others join with addFile.
    static Ptr initWithSimilarFile(const FilePtr& file);

    // --- values read from the first member at the time of the call ---
    FilePtr firstFile() const;                      // null for an empty group
    std::optional<std::string> hashString() const;  // may hash the first file (reads it)
    std::string filename() const;                   // "" for an empty group
    std::string categoryName() const;               // "" for an empty group
    std::string sourceType() const;                 // "" for an empty group
    uint64_t identifySize() const;                  // 0 for an empty group
    std::shared_ptr<TWImage> fileIcon() const;      // null for an empty group
    size_t numberOfFiles() const;
    // A copy of the members; later edits do not change it.
    std::vector<FilePtr> itemsOfFileUtility() const;
    // Exact group and sub-group: identifySize x numberOfFiles. Similar group: the sum of
    // every member's size.
    uint64_t totalSize() const;
    uint64_t numberOfChecked() const;
    uint64_t sizeOfChecked() const;
    bool isSimilarGroup() const { return isSimilarGroup_; }
    // The similar group that made this sub-group; null for a top-level group.
    const Ptr& parentSimilarGroup() const { return parentSimilarGroup_; }

    // --- queries ---
    // The position of that very record, or kNotFound.
    size_t indexOfFileUtility(const FilePtr& file) const;
    // The member's flag; false past the end.
    bool isCheckedAtIndex(size_t index) const;
    // Whether some member is the same file as `file`: the same path exactly, or the same
    // device and inode (a hard link, or a link's target reached twice). Paths differing
    // only in letter case are different files.
    bool fileIsExist(const FilePtr& file) const;
    // The cached sub-group that `file` belongs in (same content, or same name in name
    // mode, and same size), or null; null also when there is no cache. Reads settings.
    Ptr findDuplicateFile(const FilePtr& file) const;
    // An exact group or a sub-group: a list holding the group itself. A similar group:
    // its exact sub-groups of two files or more, in the order of their first members,
    // built on first use (hashing members, reading settings) and kept until a member
    // leaves. Empty when no two images are exact copies.
    std::vector<Ptr> duplicateFilesExcludingSimilar();

    // --- edits ---
    // Appends without looking for duplicates; counts the file when flagged. False only
    // for a null record, which is not added.
    bool addFile(const FilePtr& file);
    // Removes the record (identity) when it is a member and then forwards to the
    // parent, whether or not it was a member here.
    void removeFile(const FilePtr& file);
    // Sets the member's flag; counters follow. Past the end, an equal flag, or a check
    // of a file that refusesRemoval(): nothing, and the parent is not told.
    void setChecked(bool checked, size_t index);
    // Recounts both counters from the members' flags (and those of live sub-groups).
    void updateFlagedState();
    // Clears every member's flag; counters 0; the parent recounts.
    void uncheckedAll();
    // Removes the record here and from the parent, counters following, and adds its
    // path to the ignore list once.
    void hideFileUnitility(const FilePtr& file);
    // Walks the members in order and hands each checked one to `callback`; every member
    // handed over leaves this group (and the parent). Answers whether the callback asked
    // to stop; checked members after that one stay, still counted. The callback runs
    // under this group's lock and must not call back into it.
    bool isCancelledRemoveCheckFilesUsingBlock(const RemoveCallback& callback);
    // Stable sort by creation time, newest first when `newestFirst`, else oldest first.
    // Members without a creation date go last either way, in their previous order.
    void sortFileWithCreateTime(bool newestFirst);

    // --- automatic selection rules: keep exactly one member unchecked ---
    // A member that refusesRemoval() is never checked: where a rule would check it, it
    // stays unchecked (and uncounted), so that group keeps more than one.
    // Dispatches a TWCheckMethod (0..8); other values do nothing.
    void smartCheckedByMethod(int32_t method);
    void smartCheckedByName();
    void smartCheckedByFolderPrivilege();
    // true keeps the latest created member, false the earliest. A member without a
    // creation date is never kept while a dated member exists.
    void smartCheckedByTime(bool keepNewest);
    // true keeps the smallest member, false the largest.
    void smartCheckBySize(bool keepSmallest);
    // true keeps a member of the lowest resolution, false of the highest. Reads image
    // headers of members whose resolution is not known yet.
    void smartCheckedByResolution(bool keepLowest);
    // Keeps the picture of the highest resolution, then the larger file, then the one
    // the duplicate-files rule keeps; members that are all the same bytes follow the
    // duplicate-files rule. Reads image headers, and whole contents when all sizes agree.
    void smartCheckedByBestPicture();

    struct PrivateTag {};
    TWDuplicateFile(PrivateTag, std::vector<FilePtr> files, Ptr parent, bool similar);
    ~TWDuplicateFile();
    TWDuplicateFile(const TWDuplicateFile&) = delete;
    TWDuplicateFile& operator=(const TWDuplicateFile&) = delete;

private:
    using Replaces = std::function<bool(const FilePtr& keeper, const FilePtr& next)>;

    static Ptr make(const FilePtr& file, const Ptr& parent, bool similar);
    // The walk shared by the rules; `privilegeFlags` clears each new keeper's flag as
    // the folder-privilege rule does.
    void runSelectionWalk(const Replaces& replaces, bool privilegeFlags);
    // After this group's flags changed (no lock held): the parent recounts, or, for a
    // similar group, its live sub-groups recount.
    void flagsChanged();
    void recountSubgroups();
    void recountLocked();
    bool removeMemberLocked(const FilePtr& file);
    void discardCacheLocked();
    // The cached sub-groups when the cache exists and every one of them is alive.
    std::optional<std::vector<Ptr>> liveCacheLocked() const;

    // A scan makes a group for every content found twice, tens of thousands of them, so
    // the sub-group cache is kept out of line. The lock stays a std::mutex: with a
    // word-sized lock the app's GUI thread, which reads groups while a scan adds to
    // them, stalled several times longer beside other busy programs.
    mutable std::mutex mutex_;
    const bool isSimilarGroup_;
    std::vector<FilePtr> files_;
    uint64_t numberOfChecked_ = 0;
    uint64_t sizeOfChecked_ = 0;
    // Bumped whenever members join, leave or move, so that sub-groups computed with no
    // lock held are stored only if the members did not change meanwhile.
    uint64_t version_ = 0;
    // Null when there is no cache (only a similar group ever has one).
    std::unique_ptr<std::vector<std::weak_ptr<TWDuplicateFile>>> duplicateFilesInSimilar_;
    const Ptr parentSimilarGroup_;
};
