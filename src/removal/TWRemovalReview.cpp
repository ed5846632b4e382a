#include "TWRemovalReview.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "SafeFile.h"
#include "TWFileDigest.h"
#include "TWKeptCopies.h"

namespace {

using FilePtr = TWDuplicateFile::FilePtr;

struct Seen {
    dev_t device = 0;
    ino_t inode = 0;
    uint64_t size = 0;
    TWContentDigest digest;
};

// Each path is read once per review.
class Reader {
public:
    std::optional<Seen> read(const std::string& path) {
        auto [at, added] = seen_.try_emplace(path);
        if (!added) return at->second;
        if (auto file = tw::SafeFile::open(path))
            if (auto digest = TWDigestOfOpenFile(*file))
                at->second = Seen{file->status().st_dev, file->status().st_ino, file->size(), *digest};
        return at->second;
    }

private:
    std::map<std::string, std::optional<Seen>> seen_;
};

bool hasCopyAmong(Reader& reader, const FilePtr& file, const std::vector<FilePtr>& kept) {
    const std::optional<Seen> target = reader.read(file->filePath());
    if (!target) return false;
    for (const FilePtr& other : kept) {
        const std::optional<Seen> copy = reader.read(other->filePath());
        if (copy && copy->size == target->size && copy->digest == target->digest &&
            (copy->device != target->device || copy->inode != target->inode))
            return true;
    }
    return false;
}

}  // namespace

uint64_t TWRemovalReview::numberOfMerelySimilarChecked(const Containers& containers) {
    return merelySimilarChecked(containers).size();
}

std::vector<TWRemovalReview::Differing> TWRemovalReview::merelySimilarChecked(const Containers& containers) {
    std::vector<Differing> similar;
    for (const auto& container : containers) {
        if (!container) continue;
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            if (!group || !group->isSimilarGroup() || group->numberOfChecked() == 0) continue;
            const std::vector<FilePtr> withCopy = TWKeptCopies::checkedWithKeptCopy(*group);
            for (const auto& file : group->itemsOfFileUtility())
                if (file && file->isChecked() && std::find(withCopy.begin(), withCopy.end(), file) == withCopy.end())
                    similar.push_back({group, file});
        }
    }
    return similar;
}

std::vector<TWRemovalReview::Differing> TWRemovalReview::checkedDifferingFromKept(const Containers& containers) {
    std::vector<Differing> differing;
    Reader reader;
    for (const auto& container : containers) {
        if (!container) continue;
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            if (!group || group->numberOfChecked() == 0) continue;
            const std::vector<FilePtr> members = group->itemsOfFileUtility();
            std::vector<FilePtr> kept;
            for (const auto& file : members)
                if (file && !file->isChecked()) kept.push_back(file);
            for (const auto& file : members)
                if (file && file->isChecked() && !hasCopyAmong(reader, file, kept)) differing.push_back({group, file});
        }
    }
    return differing;
}

void TWRemovalReview::leaveAlone(const std::vector<Differing>& files) {
    for (const auto& [group, file] : files) {
        if (!group || !file) continue;
        const size_t index = group->indexOfFileUtility(file);
        if (index != TWDuplicateFile::kNotFound) group->setChecked(false, index);
    }
}
