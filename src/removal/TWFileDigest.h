#pragma once
// The whole-content digest of a file read at this moment (XXH3-128, the digest of
// TWFileUtility::contentDigest), for the removal's checks: a record caches its digest
// from the scan, the removal needs the content as it is now. Safe from any thread.

#include <optional>

#include "files/TWFileUtility.h"
#include "platform/SafeFile.h"

// Reads the opened file from its start to its end; nullopt on a read error.
std::optional<TWContentDigest> TWDigestOfOpenFile(const tw::SafeFile& file);
