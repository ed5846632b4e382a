#pragma once
// The tests that decide whether a record is a copy of a group, given the group's first
// record. The scan and the sub-groups of a similar group use the same tests, so that an
// exact copy means the same thing everywhere. Safe from any thread; they may read both
// files (hashes and digests are computed once per record and cached there), so call
// them with no lock held where that is possible.

#include <cstdint>

#include "TWFileUtility.h"

// Equal content: both content hashes present and equal, equal sizes, and, when
// `verifyFullContent`, both whole-content digests present and equal. The hashes are
// compared first, so both records are hashed before sizes are looked at; digests are
// read only when everything else already matched, under `control` when one is given
// (a stopped read matches nothing).
bool TWContentMatches(TWFileUtility& groupFirst, TWFileUtility& candidate, bool verifyFullContent,
                      TWReadControl* control = nullptr);
// The same, with verifyFullContent read from the preference store.
bool TWContentMatches(TWFileUtility& groupFirst, TWFileUtility& candidate);

// Two packages (TWApplicationUtility): equal bundle identities and sizes, and, when
// `verifyFullContent`, equal whole trees (TWPackageTree: relative paths, kinds, sizes,
// contents and link texts). Any other record is no package and never matches here.
bool TWPackageMatches(TWFileUtility& groupFirst, TWFileUtility& candidate, bool verifyFullContent);

// Equal names (fileName, exact and case-sensitive) and equal sizes.
bool TWNameMatches(const TWFileUtility& groupFirst, const TWFileUtility& candidate);

// The test of a search mode (TWSearchMode): content or name; any other mode never matches.
bool TWRecordMatches(TWFileUtility& groupFirst, TWFileUtility& candidate, int64_t searchMode, bool verifyFullContent);
