#include "engine/TWDeviceReaders.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <optional>

#include "platform/SafeFile.h"

struct TWDeviceReaders::Device {
    dev_t id = 0;
    int readers = 1;
    // Reads in flight; a turn takes one with a compare-and-swap while one is free and
    // sleeps on `freed` otherwise.
    std::atomic<int> busy{0};
    std::atomic<int> waiting{0};
    std::mutex mutex;
    std::condition_variable freed;
};

namespace {

std::atomic<uint64_t> lastReadersId{0};

// The device a thread asked for last, so that a turn needs no lookup under the mutex:
// a walker's files mostly lie on one device.
struct Memo {
    uint64_t owner = 0;
    dev_t id = 0;
    void* device = nullptr;
};
thread_local Memo memo;

}  // namespace

TWDeviceReaders::TWDeviceReaders(int readers, std::string sysRoot)
    : fixed_(std::max(0, readers)), sysRoot_(std::move(sysRoot)), id_(++lastReadersId) {}

TWDeviceReaders::~TWDeviceReaders() = default;

int TWDeviceReaders::readersOfKind(tw::StorageKind kind) {
    return kind == tw::StorageKind::Rotating ? 1 : kSolidStateReaders;
}

TWDeviceReaders::Device& TWDeviceReaders::deviceOf(dev_t id) {
    if (memo.owner == id_ && memo.id == id) return *static_cast<Device*>(memo.device);
    std::lock_guard lock(mutex_);
    Device* found = nullptr;
    for (const auto& device : devices_)
        if (device->id == id) found = device.get();
    if (!found) {
        auto device = std::make_unique<Device>();
        device->id = id;
        if (fixed_ > 0) {
            device->readers = fixed_;
        } else {
            device->readers = readersOfKind(tw::StorageDevice::kindOf(id, sysRoot_));
        }
        devices_.push_back(std::move(device));
        found = devices_.back().get();
    }
    memo = {id_, id, found};
    return *found;
}

int TWDeviceReaders::readersFor(dev_t device) {
    return deviceOf(device).readers;
}

TWDeviceReaders::Turn::Turn(TWDeviceReaders& readers, dev_t id) : device_(&readers.deviceOf(id)) {
    Device& device = *device_;
    for (int seen = device.busy.load();;) {
        if (seen < device.readers) {
            if (device.busy.compare_exchange_weak(seen, seen + 1)) return;
            continue;
        }
        std::unique_lock lock(device.mutex);
        device.waiting.fetch_add(1);
        device.freed.wait(lock, [&] { return (seen = device.busy.load()) < device.readers; });
        device.waiting.fetch_sub(1);
    }
}

TWDeviceReaders::Turn::~Turn() {
    Device& device = *device_;
    device.busy.fetch_sub(1);
    // A waiter counts itself under the mutex before it tests `busy`: taking the mutex
    // here orders this wake-up after its test, or makes its test see the freed turn.
    if (device.waiting.load() > 0) {
        { std::lock_guard lock(device.mutex); }
        device.freed.notify_one();
    }
}

void TWDeviceReaders::sortInPhysicalOrder(std::vector<std::shared_ptr<TWFileUtility>>& records) {
    std::vector<std::pair<uint64_t, std::shared_ptr<TWFileUtility>>> keyed;
    keyed.reserve(records.size());
    bool mapped = true;
    for (const auto& record : records) {
        std::optional<uint64_t> offset;
        if (mapped)
            if (auto file = tw::SafeFile::open(record->filePath())) offset = file->physicalOffset();
        mapped = mapped && offset.has_value();
        keyed.emplace_back(offset.value_or(0), record);
    }
    if (!mapped)
        for (auto& [key, record] : keyed) key = record->inode();
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i) records[i] = std::move(keyed[i].second);
}
