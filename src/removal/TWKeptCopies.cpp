#include "TWKeptCopies.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <unordered_set>

#include "SafeFile.h"
#include "TWFileDigest.h"
#include "TWPackageTree.h"
#include "TWPreferenceTypes.h"

namespace {

std::string errorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// The real path of `path`, or of its folder when it is gone, or `path` itself.
std::string realPathOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) return path;
        resolved = ::realpath(path.substr(0, slash).c_str(), nullptr);
        if (!resolved) return path;
        std::string result = std::string(resolved) + path.substr(slash);
        std::free(resolved);
        return result;
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// The mount point among `mountPoints` that holds `path` (the nearest), or "".
std::string overlayHolding(const std::vector<std::string>& mountPoints, const std::string& path) {
    const std::string real = realPathOf(path);
    std::string holding;
    for (const std::string& mount : mountPoints) {
        const bool below = mount == "/" || (real.compare(0, mount.size(), mount) == 0 &&
                                            (real.size() == mount.size() || real[mount.size()] == '/'));
        if (below && mount.size() > holding.size()) holding = mount;
    }
    return holding;
}

bool hasPackage(const std::vector<TWKeptCopies::FilePtr>& members) {
    for (const auto& file : members)
        if (file && file->fileType() == TWFileTypePackage) return true;
    return false;
}

// Why `file`, found as `now`, is not the file the scan saw.
std::string changedReason(const TWFileUtility& file, const TWFileStamp& now) {
    if (!file.hasIdentity()) return "it could not be read when it was scanned";
    if (now.device != file.device() || now.inode != file.inode()) return "it was replaced after the scan";
    return "it was changed after the scan";
}

}  // namespace

TWKeptCopies::Rule TWKeptCopies::ruleForFile(const TWDuplicateFile& group, const std::vector<FilePtr>& members,
                                             bool exactWithKept, const Policy& policy) {
    if (hasPackage(members)) return policy.verifyFullContent ? Rule::SameTree : Rule::SameBundle;
    if (policy.searchMode == TWSearchModeName) return policy.onlyIdentical ? Rule::Identical : Rule::LookAlike;
    if (group.isSimilarGroup() && !exactWithKept) return Rule::LookAlike;
    return Rule::Identical;
}

std::vector<TWKeptCopies::FilePtr> TWKeptCopies::checkedWithKeptCopy(TWDuplicateFile& group) {
    std::vector<FilePtr> found;
    if (!group.isSimilarGroup()) return found;
    for (const auto& exact : group.duplicateFilesExcludingSimilar()) {
        const std::vector<FilePtr> members = exact->itemsOfFileUtility();
        bool keepsOne = false;
        for (const auto& file : members) keepsOne = keepsOne || (file && !file->isChecked());
        if (!keepsOne) continue;
        for (const auto& file : members)
            if (file && file->isChecked()) found.push_back(file);
    }
    return found;
}

TWKeptCopies TWKeptCopies::snapshotOfGroups(const std::vector<TWDuplicateFile::Ptr>& groups, const Policy& policy) {
    TWKeptCopies copies;
    for (const auto& group : groups) {
        if (!group) continue;
        const std::vector<FilePtr> members = group->itemsOfFileUtility();
        bool anyChecked = false;
        for (const auto& file : members) anyChecked = anyChecked || (file && file->isChecked());
        if (anyChecked) copies.addGroup(*group, members, checkedWithKeptCopy(*group), policy);
    }
    return copies;
}

void TWKeptCopies::addGroup(const TWDuplicateFile& group, const std::vector<FilePtr>& members,
                            const std::vector<FilePtr>& exactWithKept, const Policy& policy) {
    const std::unordered_set<const TWFileUtility*> withKept = [&] {
        std::unordered_set<const TWFileUtility*> set;
        for (const auto& file : exactWithKept) set.insert(file.get());
        return set;
    }();
    const auto overlayOf = [&](const FilePtr& file) {
        return policy.overlaysWithUnplacedLayers.empty()
                   ? std::string()
                   : overlayHolding(policy.overlaysWithUnplacedLayers, file->filePath());
    };
    std::vector<FilePtr> unchecked;
    std::vector<std::string> overlayOfUnchecked;
    for (const auto& file : members)
        if (file && !file->isChecked()) {
            unchecked.push_back(file);
            overlayOfUnchecked.push_back(overlayOf(file));
        }
    std::map<std::string, size_t> made;
    for (const auto& file : members) {
        if (!file || !file->isChecked()) continue;
        const Rule rule = ruleForFile(group, members, withKept.count(file.get()) > 0, policy);
        checked_[file.get()] = {groupFor(overlayOf(file), unchecked, overlayOfUnchecked, made), rule};
        holds_.push_back(file);
    }
}

size_t TWKeptCopies::groupFor(const std::string& overlay, const std::vector<FilePtr>& unchecked,
                              const std::vector<std::string>& overlayOfUnchecked, std::map<std::string, size_t>& made) {
    if (auto found = made.find(overlay); found != made.end()) return found->second;
    Group kept;
    for (size_t i = 0; i < unchecked.size(); ++i) {
        // A file inside an overlay's layer folder may be the very file that the
        // overlay's merged view shows under another device: it vouches for nothing.
        // So may a file of a merged view whose layers are unknown, for a file outside it.
        if (unchecked[i]->isInsideOverlayLayer())
            ++kept.layerFiles;
        else if (!overlayOfUnchecked[i].empty() && overlayOfUnchecked[i] != overlay)
            ++kept.unplacedOverlayFiles;
        else
            kept.kept.push_back(unchecked[i]);
    }
    groups_.push_back(std::move(kept));
    made[overlay] = groups_.size() - 1;
    return groups_.size() - 1;
}

tw::Status TWKeptCopies::mayDispose(const TWFileUtility& file, std::optional<Verified>* verified) {
    if (verified) verified->reset();
    const std::string& path = file.filePath();
    auto found = checked_.find(&file);
    if (found == checked_.end()) return tw::Status::failure(path, "it was not checked when the removal started");
    const Group& group = groups_[found->second.group];
    if (group.kept.empty() && group.unplacedOverlayFiles > 0)
        return tw::Status::failure(path,
                                   "the only files of its group that stay lie inside a mounted overlay whose layer "
                                   "folders are not known, which may show this very file");
    if (group.kept.empty() && group.layerFiles > 0)
        return tw::Status::failure(path,
                                   "the only files of its group that stay lie in an overlay's layer folder, "
                                   "which may be this very file seen through the overlay");
    if (group.kept.empty())
        return tw::Status::failure(path, "every file of its group is checked, and the last copy is always kept");
    const std::optional<TWFileStamp> now = TWFileStamp::ofPath(path);
    if (!now) return tw::Status::failure(path, "it cannot be found now: " + errorText(errno), errno);
    if (!TWFileStamp::isAsScanned(file, *now)) return tw::Status::failure(path, changedReason(file, *now));
    switch (found->second.rule) {
        case Rule::Identical:
            return checkIdentical(file, *now, group, verified);
        case Rule::LookAlike:
            return checkLookAlike(file, *now, group, verified);
        case Rule::SameTree:
            return checkSameTree(file, *now, group, verified);
        case Rule::SameBundle:
            return checkSameBundle(file, *now, group, verified);
    }
    return tw::Status::failure(path, "unknown rule");
}

std::optional<TWKeptCopies::Content> TWKeptCopies::contentNow(const std::string& path, bool isKept) {
    const std::optional<TWFileStamp> before = TWFileStamp::ofPath(path);
    if (!before || !before->isRegularFile()) return std::nullopt;
    if (auto cached = reads_.find(path); cached != reads_.end()) {
        if (cached->second.settled && cached->second.content.stamp == *before) return cached->second.content;
        reads_.erase(cached);
    }
    const int64_t clock = TWFileStamp::fileClockNs();
    auto opened = tw::SafeFile::open(path);
    if (!opened) return std::nullopt;
    const TWFileStamp stamp = TWFileStamp::of(opened->status());
    if (!(stamp == *before)) return std::nullopt;  // swapped between the look and the open
    if (isKept) ++keptContentReads_;
    const std::optional<TWContentDigest> digest = TWDigestOfOpenFile(*opened);
    struct stat after {};
    if (!digest || ::fstat(opened->fd(), &after) != 0 || !(TWFileStamp::of(after) == stamp)) return std::nullopt;
    const Content content{stamp, *digest};
    reads_[path] = {content, stamp.isSettledAt(clock)};
    return content;
}

tw::Status TWKeptCopies::checkIdentical(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                                        std::optional<Verified>* verified) {
    const std::string& path = file.filePath();
    if (!now.isRegularFile()) return tw::Status::failure(path, "it is not a regular file now");
    std::optional<Content> target;
    for (const FilePtr& kept : group.kept) {
        const std::optional<TWFileStamp> keptNow = TWFileStamp::ofPath(kept->filePath());
        if (!keptNow || !keptNow->isRegularFile() || keptNow->isSameFile(now)) continue;
        if (keptNow->size != now.size) continue;
        if (!target) {
            target = contentNow(path, false);
            if (!target) return tw::Status::failure(path, "its content cannot be read now, or changed while read");
            if (!TWFileStamp::isAsScanned(file, target->stamp))
                return tw::Status::failure(path, changedReason(file, target->stamp));
        }
        const std::optional<Content> copy = contentNow(kept->filePath(), true);
        if (copy && copy->digest == target->digest && !copy->stamp.isSameFile(target->stamp)) {
            if (verified) *verified = Verified{target->stamp, std::nullopt};
            return tw::Status::success();
        }
    }
    return tw::Status::failure(path, "no kept file of its group has its content now, so it may be the last copy");
}

tw::Status TWKeptCopies::checkLookAlike(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                                        std::optional<Verified>* verified) {
    for (const FilePtr& kept : group.kept) {
        const std::optional<TWFileStamp> keptNow = TWFileStamp::ofPath(kept->filePath());
        if (!keptNow || keptNow->isSameFile(now)) continue;
        if (!TWFileStamp::isAsScanned(*kept, *keptNow)) continue;  // replaced or changed since the scan
        if (verified) *verified = Verified{now, std::nullopt};
        return tw::Status::success();
    }
    return tw::Status::failure(file.filePath(),
                               "no kept file of its group is still the file that was scanned, so it may be the "
                               "last copy");
}

tw::Status TWKeptCopies::checkSameTree(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                                       std::optional<Verified>* verified) {
    const std::string& path = file.filePath();
    auto* package = dynamic_cast<const TWApplicationUtility*>(&file);
    if (!package || !now.isFolder()) return tw::Status::failure(path, "it is not a package folder now");
    const std::optional<TWContentDigest> tree = TWPackageTree::digestOf(path);
    if (!tree) return tw::Status::failure(path, "its contents cannot be read in full now");
    if (auto scanned = package->cachedTreeDigest(); scanned && scanned != tree)
        return tw::Status::failure(path, "its contents changed after the scan");
    for (const FilePtr& kept : group.kept) {
        const std::optional<TWFileStamp> keptNow = TWFileStamp::ofPath(kept->filePath());
        if (!keptNow || !keptNow->isFolder() || keptNow->isSameFile(now)) continue;
        if (TWPackageTree::digestOf(kept->filePath()) == tree) {
            if (verified) *verified = Verified{now, tree};
            return tw::Status::success();
        }
    }
    return tw::Status::failure(path, "no kept package of its group has the same contents now");
}

tw::Status TWKeptCopies::checkSameBundle(const TWFileUtility& file, const TWFileStamp& now, const Group& group,
                                         std::optional<Verified>* verified) {
    const std::string& path = file.filePath();
    auto target = TWApplicationUtility::initWithPath(path);
    const std::optional<std::string> identity = target ? target->hashString() : std::nullopt;
    if (!identity) return tw::Status::failure(path, "its bundle identity cannot be read now");
    for (const FilePtr& kept : group.kept) {
        const std::optional<TWFileStamp> keptNow = TWFileStamp::ofPath(kept->filePath());
        if (!keptNow || !keptNow->isFolder() || keptNow->isSameFile(now)) continue;
        auto copy = TWApplicationUtility::initWithPath(kept->filePath());
        if (copy && copy->hashString() == identity) {
            if (verified) *verified = Verified{now, std::nullopt};
            return tw::Status::success();
        }
    }
    return tw::Status::failure(path, "no kept package of its group has its bundle identity any more");
}
