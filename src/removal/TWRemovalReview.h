#pragma once
// What a front end tells the user before a removal, read from the results as they
// stand (the app's confirmation, the command line's summary before it asks):
//   - how many checked files are merely similar: members of a similar-image group
//     that share no exact sub-group with a file that stays, so that only a kept
//     look-alike vouches for them;
//   - in name mode, which checked files differ in content from every file of their
//     group that stays (whole-content digests read now), so that the user can remove
//     only the identical ones (TWRemovalRun::Options::onlyIdentical) or leave the
//     others alone before the run (leaveAlone).
//
// Threading: any thread but the main one for the comparison (it reads whole files);
// the results' own locks guard the groups. Not to be called while a run works on them.

#include <cstdint>
#include <memory>
#include <vector>

#include "TWCategoryFiles.h"
#include "TWDuplicateFile.h"

class TWRemovalReview {
public:
    using Containers = std::vector<std::shared_ptr<TWCategoryFiles>>;

    struct Differing {
        TWDuplicateFile::Ptr group;  // the top-level group that holds it
        TWDuplicateFile::FilePtr file;
    };

    // Reads files where exact sub-groups are not known yet.
    static uint64_t numberOfMerelySimilarChecked(const Containers& containers);
    // The same files, each with its group, so that a front end can leave them alone.
    static std::vector<Differing> merelySimilarChecked(const Containers& containers);
    // The checked files whose content equals that of no unchecked member of their group
    // now (a different file, the same size and whole-content digest); a file that
    // cannot be read counts as differing.
    static std::vector<Differing> checkedDifferingFromKept(const Containers& containers);
    // Unchecks each file in its group, so that a run leaves it alone.
    static void leaveAlone(const std::vector<Differing>& files);
};
