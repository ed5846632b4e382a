#pragma once
// How one scan reads the files of each device: how many reads of a device may be in
// flight at once, and in which order the files of a folder are read.
//
// A rotating disk gets one reader, and the files of a folder are read in the order
// their data lies on the disk (FIEMAP, else inode order), so the head sweeps instead of
// seeking back and forth. Solid-state and network storage get several reads in flight
// (kSolidStateReaders). The kind comes from tw::StorageDevice, learnt once per device.
// A count given at construction (`--readers`) holds for every device instead.
//
// Only the order and the concurrency of the reads change: what is read, and every
// decision made from it, stays the same.
//
// Safe from any thread: the devices are learnt under a mutex, and each device's turns
// are counted under its own.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "files/TWFileUtility.h"
#include "platform/StorageDevice.h"

class TWDeviceReaders {
    struct Device;

public:
    // Reads in flight on one solid-state or network device. Measured on a 2-core
    // virtual machine (virtio disk, cold page cache, 50,000 files): 1 reader 12.5 s,
    // 2 readers 6.5 to 10 s, 4 readers 5.2 s, 8 readers 4.9 to 6.1 s. The walkers (the
    // cores plus four) bound the reads in flight from above.
    static constexpr int kSolidStateReaders = 8;

    // `readers` 0: each device by its kind; otherwise that many for every device.
    explicit TWDeviceReaders(int readers = 0, std::string sysRoot = "/sys");
    ~TWDeviceReaders();
    TWDeviceReaders(const TWDeviceReaders&) = delete;
    TWDeviceReaders& operator=(const TWDeviceReaders&) = delete;

    static int readersOfKind(tw::StorageKind kind);
    int readersFor(dev_t device);
    // One reader: the device's files are read one at a time, in their order on it.
    bool readsInPhysicalOrder(dev_t device) { return readersFor(device) == 1; }

    // One of the device's reads, from construction to destruction; waits while the
    // device has as many reads in flight as it takes.
    class Turn {
    public:
        Turn(TWDeviceReaders& readers, dev_t device);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        Device* device_;
    };

    // Orders `records` (files of one folder) by where their data lies on the disk:
    // by FIEMAP where every file tells, else by inode number. Stable, so equal keys
    // keep their order.
    static void sortInPhysicalOrder(std::vector<std::shared_ptr<TWFileUtility>>& records);

private:
    Device& deviceOf(dev_t device);

    const int fixed_;
    const std::string sysRoot_;
    const uint64_t id_;  // tells this object's devices apart in the threads' memo
    std::mutex mutex_;
    std::deque<std::unique_ptr<Device>> devices_;  // a scan meets a handful of devices
};
