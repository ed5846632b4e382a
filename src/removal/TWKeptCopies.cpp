#include "TWKeptCopies.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "SafeFile.h"
#include "TWFileDigest.h"
#include "TWPreferenceTypes.h"

namespace {

std::string errorText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

bool sameIdentity(const struct stat& st, const TWKeptCopies::Identity& id) {
    return st.st_dev == id.device && st.st_ino == id.inode;
}

TWKeptCopies::Identity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

}  // namespace

TWKeptCopies::Rule TWKeptCopies::ruleForGroup(const TWDuplicateFile& group, const std::vector<FilePtr>& members,
                                              int64_t searchMode) {
    for (const auto& file : members)
        if (file && file->fileType() == TWFileTypePackage) return Rule::SameBundle;
    if (group.isSimilarGroup() || searchMode == TWSearchModeName) return Rule::StillPresent;
    return Rule::SameContent;
}

TWKeptCopies TWKeptCopies::snapshotOfGroups(const std::vector<TWDuplicateFile::Ptr>& groups, int64_t searchMode) {
    TWKeptCopies copies;
    for (const auto& group : groups) {
        if (!group) continue;
        std::vector<FilePtr> members = group->itemsOfFileUtility();
        std::vector<FilePtr> checked, kept;
        for (const auto& file : members) {
            if (!file) continue;
            (file->isChecked() ? checked : kept).push_back(file);
        }
        if (!checked.empty()) copies.addGroup(ruleForGroup(*group, members, searchMode), checked, kept);
    }
    return copies;
}

void TWKeptCopies::addGroup(Rule rule, const std::vector<FilePtr>& checked, const std::vector<FilePtr>& kept) {
    Group group;
    group.rule = rule;
    for (const auto& file : kept)
        group.kept.push_back(
            {file->filePath(), file->hasIdentity(), {file->device(), file->inode()}, file->fileSize()});
    groups_.push_back(std::move(group));
    for (const auto& file : checked) {
        groupOfFile_[file.get()] = groups_.size() - 1;
        holds_.push_back(file);
    }
}

tw::Status TWKeptCopies::mayDispose(const TWFileUtility& file, std::optional<Identity>* verified) {
    if (verified) verified->reset();
    const std::string& path = file.filePath();
    auto found = groupOfFile_.find(&file);
    if (found == groupOfFile_.end()) return tw::Status::failure(path, "it was not checked when the removal started");
    const Group& group = groups_[found->second];
    if (group.kept.empty())
        return tw::Status::failure(path, "every file of its group is checked, and the last copy is always kept");
    switch (group.rule) {
        case Rule::SameContent:
            return checkSameContent(path, group, verified);
        case Rule::StillPresent:
            return checkStillPresent(path, group, verified);
        case Rule::SameBundle:
            return checkSameBundle(path, group, verified);
    }
    return tw::Status::failure(path, "unknown rule");
}

std::optional<TWContentDigest> TWKeptCopies::keptDigest(const Kept& kept) {
    struct stat st {};
    if (::lstat(kept.path.c_str(), &st) != 0) return std::nullopt;
    auto cached = digests_.find({st.st_dev, st.st_ino});
    if (cached != digests_.end()) return cached->second;
    auto opened = tw::SafeFile::open(kept.path);
    if (!opened) return std::nullopt;
    ++keptContentReads_;
    auto digest = TWDigestOfOpenFile(*opened);
    const struct stat& now = opened->status();
    digests_[{now.st_dev, now.st_ino}] = digest;
    // A kept file swapped for another between the lstat and the open is judged by what
    // was read; the name's earlier identity is not cached.
    if (!sameIdentity(st, identityOf(now))) return std::nullopt;
    return digest;
}

tw::Status TWKeptCopies::checkSameContent(const std::string& path, const Group& group,
                                          std::optional<Identity>* verified) {
    int error = 0;
    auto target = tw::SafeFile::open(path, &error);
    if (!target) return tw::Status::failure(path, "it cannot be read now: " + errorText(error), error);
    const Identity targetId = identityOf(target->status());
    std::optional<TWContentDigest> targetDigest;
    bool targetRead = false;
    for (const Kept& kept : group.kept) {
        struct stat st {};
        if (::lstat(kept.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (sameIdentity(st, targetId)) continue;  // another name of the same file is no copy
        if (uint64_t(st.st_size) != target->size()) continue;
        if (!targetRead) {
            targetDigest = TWDigestOfOpenFile(*target);
            targetRead = true;
            if (!targetDigest) return tw::Status::failure(path, "its content cannot be read now");
        }
        auto digest = keptDigest(kept);
        if (digest && *digest == *targetDigest) {
            if (verified) *verified = targetId;
            return tw::Status::success();
        }
    }
    return tw::Status::failure(path, "no kept file of its group has its content any more, so it may be the last copy");
}

tw::Status TWKeptCopies::checkStillPresent(const std::string& path, const Group& group,
                                           std::optional<Identity>* verified) {
    struct stat target {};
    if (::lstat(path.c_str(), &target) != 0)
        return tw::Status::failure(path, "it cannot be found now: " + errorText(errno), errno);
    for (const Kept& kept : group.kept) {
        struct stat st {};
        if (::lstat(kept.path.c_str(), &st) != 0) continue;
        if (kept.hasIdentity && !sameIdentity(st, kept.identity)) continue;  // replaced since the scan
        if (st.st_dev == target.st_dev && st.st_ino == target.st_ino) continue;
        if (verified) *verified = identityOf(target);
        return tw::Status::success();
    }
    return tw::Status::failure(path, "no kept file of its group is there any more, so it may be the last copy");
}

std::optional<std::string> TWKeptCopies::bundleIdentity(const std::string& path, const Key& key) {
    auto cached = bundles_.find(key);
    if (cached != bundles_.end()) return cached->second;
    auto package = TWApplicationUtility::initWithPath(path);
    std::optional<std::string> identity = package ? package->hashString() : std::nullopt;
    bundles_[key] = identity;
    return identity;
}

tw::Status TWKeptCopies::checkSameBundle(const std::string& path, const Group& group,
                                         std::optional<Identity>* verified) {
    struct stat target {};
    if (::lstat(path.c_str(), &target) != 0)
        return tw::Status::failure(path, "it cannot be found now: " + errorText(errno), errno);
    auto identity = bundleIdentity(path, {target.st_dev, target.st_ino});
    if (!identity) return tw::Status::failure(path, "its bundle identity cannot be read now");
    for (const Kept& kept : group.kept) {
        struct stat st {};
        if (::lstat(kept.path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (st.st_dev == target.st_dev && st.st_ino == target.st_ino) continue;
        if (bundleIdentity(kept.path, {st.st_dev, st.st_ino}) == identity) {
            if (verified) *verified = identityOf(target);
            return tw::Status::success();
        }
    }
    return tw::Status::failure(path, "no kept package of its group has its bundle identity any more");
}
