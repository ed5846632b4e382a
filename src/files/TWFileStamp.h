#pragma once
// What tells one version of a file from another without reading it: its device and
// inode, its size, and its modification and change times in nanoseconds. The removal
// compares the stamp of a file now with the one the scan recorded (the record's
// identity, size and times), and with the one it saw when it last read the file; the
// cache of earlier scans (TWScanCache) serves what it kept of a file only while its
// stamp is the one it had then.
//
// Times alone cannot see a change made within the same tick of the clock that stamps
// files as the stamp that was read: isSettledAt tells whether a stamp is old enough
// that any later change must show in its change time. An edit in place that puts the
// modification time back still moves the change time, which no one can set.
//
// Plain values; safe from any thread.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "files/TWFileUtility.h"

struct TWFileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    uint64_t size = 0;
    int64_t modifyTimeNs = 0;
    int64_t changeTimeNs = 0;
    mode_t type = 0;  // the S_IFMT bits

    bool operator==(const TWFileStamp&) const = default;
    bool isSameFile(const TWFileStamp& other) const { return device == other.device && inode == other.inode; }
    bool isRegularFile() const { return S_ISREG(type); }
    bool isFolder() const { return S_ISDIR(type); }

    static TWFileStamp of(const struct stat& status);
    // The item at `path` itself (a final link is not followed); nullopt with errno set.
    static std::optional<TWFileStamp> ofPath(const std::string& path);

    // Whether `now` is the file the scan recorded in `record`: the same device and
    // inode, size and both times. A package's size is that of its contents, which the
    // folder's stamp does not hold, so a package is compared without its size.
    static bool isAsScanned(const TWFileUtility& record, const TWFileStamp& now);

    // The clock the kernel stamps files with (coarse real time), in nanoseconds.
    static int64_t fileClockNs();
    // Whether a change after `clockNs` (fileClockNs read before this stamp was taken)
    // would give the file another change time: the whole tick of the file system's
    // clock that the change time stands for lies before it. File systems keep times
    // to their own tick (whole seconds, two on FAT, 10 ms on exFAT), so a change time
    // is taken to stand for the largest power of ten of nanoseconds that divides it,
    // and a whole second for two.
    bool isSettledAt(int64_t clockNs) const;
    // The tick of file-system time that `changeTimeNs` may stand for, in nanoseconds.
    static int64_t tickOf(int64_t changeTimeNs);
};
