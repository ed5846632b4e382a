#pragma once
// The image module: the shared object that holds every call into libgd, libpuzzle and
// Exiv2 (platform/TWMediaModule.h). The core loads it when it first needs an image read,
// so a scan that meets no image never maps those libraries, and keeps it for the rest
// of the process.
//
// It is looked for only at fixed places, in order: next to an installed executable
// (<executable's folder>/../lib/twinsift/), then where the build tree put it. No
// environment variable chooses the path.

#include <string>
#include <vector>

#include "platform/SafeFile.h"
#include "platform/TWMediaModule.h"

namespace tw {

// The module's functions, or null when it cannot be loaded; the first call loads it and
// a failure is logged once, with the loader's reason. Callers then treat every image as
// unreadable. Safe from any thread.
const TWMediaFunctions* mediaModule();

// The places looked at, in order.
std::vector<std::string> mediaModuleCandidates();

// For tests of the failure path: look at `paths` alone. Refused (false) once the module
// has been looked for in this process.
bool setMediaModulePathsForTesting(std::vector<std::string> paths);

// A SafeFile as the module reads it. Lives no longer than `file`; owned by the thread
// that owns `file`.
class MediaFileView {
public:
    explicit MediaFileView(const SafeFile& file);
    MediaFileView(const MediaFileView&) = delete;
    MediaFileView& operator=(const MediaFileView&) = delete;
    const TWMediaFile* get() const { return &view_; }

private:
    TWMediaFile view_;
};

}  // namespace tw
