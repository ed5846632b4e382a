#pragma once
// The guarantee that a removal never takes the last copy of anything. Files change
// between a scan and a removal, and a user can check every file of a group by hand, so
// the marks alone prove nothing. Before a removal walks the results it takes a snapshot
// of the files that stay (the unchecked members of every group with checked files:
// path, device, inode, size); each checked file is then let go only if, at that moment,
// a kept file of its group still vouches for it:
//   - exact group: a kept file, a different inode, with the same size and the same
//     whole content now (digests of both read at that moment);
//   - similar-image group or a group matched by name (whose files differ by nature):
//     a kept file of the snapshot still there, a different inode;
//   - package: a kept package, a different inode, with the same bundle identity now.
// The check reads the disk and the snapshot only; it never calls back into the model.
//
// One object serves one run on its worker thread; not safe for concurrent use.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Status.h"
#include "TWDuplicateFile.h"
#include "TWFileUtility.h"

class TWKeptCopies {
public:
    using FilePtr = std::shared_ptr<TWFileUtility>;

    enum class Rule { SameContent, StillPresent, SameBundle };

    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
    };

    // The snapshot of the given groups (top-level groups as the removal walks them);
    // groups without checked members are left out. Name-mode groups are told apart by
    // `searchMode` (TWSearchMode), the mode the results were found with.
    static TWKeptCopies snapshotOfGroups(const std::vector<TWDuplicateFile::Ptr>& groups, int64_t searchMode);
    // The rule a group's files are judged by.
    static Rule ruleForGroup(const TWDuplicateFile& group, const std::vector<FilePtr>& members, int64_t searchMode);

    // Adds one group: its checked files and the files that stay.
    void addGroup(Rule rule, const std::vector<FilePtr>& checked, const std::vector<FilePtr>& kept);

    // Whether `file` may leave the disk now. A failed status carries the file's path and
    // why it stays. On success `verified` (when given) gets the identity of the file that
    // was judged, so that the caller can see it is still the one at the path.
    tw::Status mayDispose(const TWFileUtility& file, std::optional<Identity>* verified = nullptr);

    // How many times a kept file's content was read (each kept file at most once).
    size_t keptContentReads() const { return keptContentReads_; }

private:
    struct Kept {
        std::string path;
        bool hasIdentity = false;
        Identity identity;
        uint64_t size = 0;
    };
    struct Group {
        Rule rule = Rule::SameContent;
        std::vector<Kept> kept;
    };
    using Key = std::pair<dev_t, ino_t>;

    tw::Status checkSameContent(const std::string& path, const Group& group, std::optional<Identity>* verified);
    tw::Status checkStillPresent(const std::string& path, const Group& group, std::optional<Identity>* verified);
    tw::Status checkSameBundle(const std::string& path, const Group& group, std::optional<Identity>* verified);
    std::optional<TWContentDigest> keptDigest(const Kept& kept);
    std::optional<std::string> bundleIdentity(const std::string& path, const Key& key);

    std::vector<Group> groups_;
    std::unordered_map<const TWFileUtility*, size_t> groupOfFile_;
    std::vector<FilePtr> holds_;  // keeps the keys of groupOfFile_ alive
    std::map<Key, std::optional<TWContentDigest>> digests_;
    std::map<Key, std::optional<std::string>> bundles_;
    size_t keptContentReads_ = 0;
};
