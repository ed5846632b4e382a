#pragma once
// What kind of storage holds a file system, told from the kernel's description of its
// block device under /sys: a rotating disk wants one reader taking files in their order
// on the disk; solid-state and network storage want several reads in flight.
//
// The disk of a partition is asked (partitions have no queue of their own), and a
// mapped device (LVM, encryption, RAID) rotates when any device under it does. Virtual
// disks of virtio, Xen and VMware, and NVMe disks, count as solid-state whatever their
// `rotational` flag says: hypervisors commonly leave it at 1. A file system on an
// anonymous device (btrfs, whose every subvolume has one) is told by the block device
// its mount names as its source (/proc/self/mountinfo); one with no block device
// (network, FUSE, tmpfs) counts as network storage.
//
// Stateless and safe from any thread; each call reads sysfs (and the mount table) again.

#include <sys/types.h>

#include <string>

namespace tw {

enum class StorageKind {
    Rotating,
    SolidState,
    Network,  // or anything without a block device of its own
};

class StorageDevice {
public:
    // The kind of storage behind device number `device` (st_dev), read below
    // `sysRoot` and from `mountInfo` (the real ones but for tests). An unknown device
    // counts as solid-state.
    static StorageKind kindOf(dev_t device, const std::string& sysRoot = "/sys",
                              const std::string& mountInfo = "/proc/self/mountinfo");
    // The same for the block device folder `blockFolder` (a disk's or a partition's
    // folder under sysRoot/devices/...).
    static StorageKind kindOfBlockFolder(const std::string& blockFolder, int depth = 0);
    static const char* nameOf(StorageKind kind);
};

}  // namespace tw
