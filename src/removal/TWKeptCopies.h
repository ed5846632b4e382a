#pragma once
// The guarantee that a removal never takes the last copy of anything. Files change
// between a scan and a removal, and a user can check every file of a group by hand, so
// the marks alone prove nothing. Before a removal walks the results it takes a snapshot
// of the files that stay (the unchecked members of every group with checked files) and
// decides, for each checked file, what may vouch for it. A checked file is then let go
// only if it is still the very file the scan saw (device, inode, size, modification
// and change times) and, at that moment:
//   - Identical: it was byte-identical to a kept file when the scan grouped it (an
//     exact group, or an exact sub-group of a similar group that keeps a member), or
//     it was matched by name and the run takes only identical files: a kept file, a
//     different inode, has its size and whole content now. It never rests on a kept
//     look-alike, however alike.
//   - LookAlike: an image identical to no kept file (merely similar), or a file
//     matched by name when the run takes different contents too: a kept file of its
//     group is still the very file the scan saw.
//   - SameTree: a package, with the full-content check on: a kept package, a different
//     inode, has the same whole tree now, and the package's own tree is the one the
//     scan compared.
//   - SameBundle: a package, with the check off: a kept package, a different inode,
//     has the same bundle identity now.
//
// Contents are read at the moment they are needed, never taken from a record or from
// an earlier run: each file is read at least once per run, and a read is used again
// only while the file's stamp is unchanged and the read was settled (the stamp's times
// lay before the clock at the start of the read, so that no later change can hide in
// them). A read during which the stamp changed counts as a change.
//
// The check reads the disk and the snapshot only; it never calls back into the model.
// One object serves one run on its worker thread; not safe for concurrent use.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/TWFileStamp.h"
#include "files/TWFileUtility.h"
#include "model/TWDuplicateFile.h"
#include "platform/Status.h"

class TWKeptCopies {
public:
    using FilePtr = std::shared_ptr<TWFileUtility>;

    enum class Rule { Identical, LookAlike, SameTree, SameBundle };

    struct Policy {
        int64_t searchMode = 0;         // TWSearchMode the results were found with
        bool onlyIdentical = false;     // name mode: a file goes only while a kept file has its content
        bool verifyFullContent = true;  // packages: whole trees, else bundle identities
        // Real paths of mounted overlays whose layer folders are not known: a kept file
        // inside one vouches only for checked files inside the same mount, since a file
        // elsewhere may be the very file its merged view shows.
        std::vector<std::string> overlaysWithUnplacedLayers;
    };

    // What a positive check saw of the checked file, so that the act can make sure it
    // still deals with that very file.
    struct Verified {
        TWFileStamp stamp;
        std::optional<TWContentDigest> tree;  // a package's tree under SameTree
    };

    // The snapshot of the given groups (top-level groups as the removal walks them);
    // groups without checked members are left out. May read files to tell the exact
    // sub-groups of similar groups (duplicateFilesExcludingSimilar).
    static TWKeptCopies snapshotOfGroups(const std::vector<TWDuplicateFile::Ptr>& groups, const Policy& policy);
    static TWKeptCopies snapshotOfGroups(const std::vector<TWDuplicateFile::Ptr>& groups, int64_t searchMode) {
        Policy policy;
        policy.searchMode = searchMode;
        return snapshotOfGroups(groups, policy);
    }
    // The rule a checked member of `group` is judged by. `exactWithKept` tells whether
    // it lies in an exact sub-group of a similar group together with an unchecked member.
    static Rule ruleForFile(const TWDuplicateFile& group, const std::vector<FilePtr>& members, bool exactWithKept,
                            const Policy& policy);
    // The checked members of a similar group that share an exact sub-group with an
    // unchecked member (empty for any other group). Reads files as the sub-groups do.
    static std::vector<FilePtr> checkedWithKeptCopy(TWDuplicateFile& group);

    // Whether `file` may leave the disk now. A failed status carries the file's path and
    // why it stays. On success `verified` (when given) gets what was judged.
    tw::Status mayDispose(const TWFileUtility& file, std::optional<Verified>* verified = nullptr);

    // How many times a kept file's content was read.
    size_t keptContentReads() const { return keptContentReads_; }

private:
    struct Group {
        std::vector<FilePtr> kept;        // as the scan saw them
        size_t layerFiles = 0;            // unchecked files in an overlay's layer folder: they vouch for nothing
        size_t unplacedOverlayFiles = 0;  // unchecked files in another overlay whose layers are not known
    };
    struct Checked {
        size_t group = 0;
        Rule rule = Rule::Identical;
    };
    struct Content {
        TWFileStamp stamp;
        TWContentDigest digest;
    };
    struct Read {
        Content content;
        bool settled = false;
    };

    void addGroup(const TWDuplicateFile& group, const std::vector<FilePtr>& members,
                  const std::vector<FilePtr>& exactWithKept, const Policy& policy);
    // The index of the snapshot group holding what may vouch for a checked file inside
    // the overlay `overlay` (empty: inside none whose layers are unknown), made on first use.
    size_t groupFor(const std::string& overlay, const std::vector<FilePtr>& unchecked,
                    const std::vector<std::string>& overlayOfUnchecked, std::map<std::string, size_t>& made);
    tw::Status checkIdentical(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                              std::optional<Verified>* verified);
    tw::Status checkLookAlike(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                              std::optional<Verified>* verified);
    tw::Status checkSameTree(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                             std::optional<Verified>* verified);
    tw::Status checkSameBundle(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                               std::optional<Verified>* verified);
    // The file's content now, read anew unless a settled read of the same stamp exists;
    // nullopt when it is no regular file, cannot be read, or changed while it was read.
    std::optional<Content> contentNow(const std::string& path, bool isKept);

    std::vector<Group> groups_;
    std::unordered_map<const TWFileUtility*, Checked> checked_;
    std::vector<FilePtr> holds_;  // keeps the keys of checked_ alive
    std::map<std::string, Read> reads_;
    size_t keptContentReads_ = 0;
};
