#include "TWMatching.h"

#include "TWPreference.h"
#include "TWPreferenceTypes.h"

bool TWContentMatches(TWFileUtility& groupFirst, TWFileUtility& candidate, bool verifyFullContent,
                      TWReadControl* control) {
    const std::optional<std::string> firstHash = groupFirst.hashString();
    const std::optional<std::string> candidateHash = candidate.hashString();
    if (!firstHash || !candidateHash || *firstHash != *candidateHash) return false;
    if (groupFirst.fileSize() != candidate.fileSize()) return false;
    if (!verifyFullContent) return true;
    // Two records of one file need no second read; otherwise a sampled hash may collide.
    if (&groupFirst == &candidate) return true;
    const std::optional<TWContentDigest> firstDigest = groupFirst.contentDigest(control);
    if (!firstDigest) return false;
    const std::optional<TWContentDigest> candidateDigest = candidate.contentDigest(control);
    return candidateDigest && *firstDigest == *candidateDigest;
}

bool TWContentMatches(TWFileUtility& groupFirst, TWFileUtility& candidate) {
    return TWContentMatches(groupFirst, candidate, TWPreference::shared().verifyFullContent());
}

bool TWPackageMatches(TWFileUtility& groupFirst, TWFileUtility& candidate, bool verifyFullContent) {
    auto* first = dynamic_cast<TWApplicationUtility*>(&groupFirst);
    auto* other = dynamic_cast<TWApplicationUtility*>(&candidate);
    if (!first || !other || first->fileSize() != other->fileSize()) return false;
    const std::optional<std::string> identity = first->hashString();
    if (!identity || identity != other->hashString()) return false;
    if (!verifyFullContent || first == other) return true;
    const std::optional<TWContentDigest> tree = first->treeDigest();
    return tree && tree == other->treeDigest();
}

bool TWNameMatches(const TWFileUtility& groupFirst, const TWFileUtility& candidate) {
    return groupFirst.fileName() == candidate.fileName() && groupFirst.fileSize() == candidate.fileSize();
}

bool TWRecordMatches(TWFileUtility& groupFirst, TWFileUtility& candidate, int64_t searchMode, bool verifyFullContent) {
    switch (searchMode) {
        case TWSearchModeContent:
            return TWContentMatches(groupFirst, candidate, verifyFullContent);
        case TWSearchModeName:
            return TWNameMatches(groupFirst, candidate);
        default:
            return false;
    }
}
