#include "platform/StorageDevice.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace tw {

namespace {

// Mapped devices may stack (encryption on LVM on RAID); deeper than this is a loop.
constexpr int kMaxStack = 8;

std::string firstLine(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Virtual and NVMe disks, by their name, their driver or (VMware's SCSI disks) vendor.
bool isSolidStateByDesign(const std::string& disk) {
    const std::string name = baseName(disk);
    if (startsWith(name, "vd") || startsWith(name, "xvd") || startsWith(name, "nvme")) return true;
    const std::string driver = baseName(realPath(disk + "/device/driver"));
    if (driver == "virtio_blk" || driver == "vbd" || startsWith(driver, "xen")) return true;
    return startsWith(firstLine(disk + "/device/vendor"), "VMware");
}

std::vector<std::string> slavesOf(const std::string& disk) {
    std::vector<std::string> slaves;
    DIR* dir = opendir((disk + "/slaves").c_str());
    if (!dir) return slaves;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') slaves.push_back(disk + "/slaves/" + entry->d_name);
    closedir(dir);
    return slaves;
}

// The source named by the mount of the anonymous device `number` ("0:N"), when it is a
// path; empty otherwise. A mountinfo line: "id parent major:minor root point options
// [optional fields] - type source super-options".
std::string mountSourceOf(const std::string& number, const std::string& mountInfo) {
    std::ifstream in(mountInfo);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        if (!(fields >> id >> parent >> numbers) || numbers != number) continue;
        const size_t separator = line.find(" - ");
        if (separator == std::string::npos) return {};
        std::istringstream tail(line.substr(separator + 3));
        std::string type, source;
        if (!(tail >> type >> source) || source.empty() || source[0] != '/') return {};
        return source;
    }
    return {};
}

}  // namespace

StorageKind StorageDevice::kindOf(dev_t device, const std::string& sysRoot, const std::string& mountInfo) {
    const std::string number = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    // Major 0 is the anonymous devices': network and virtual file systems, and those
    // that give each of their volumes a number of its own over a block device.
    if (major(device) == 0) {
        const std::string source = mountSourceOf(number, mountInfo);
        if (source.empty()) return StorageKind::Network;
        // /dev/mapper/name links to /dev/dm-N; sysfs knows the block device by that name.
        const std::string resolved = realPath(source);
        const std::string folder = realPath(sysRoot + "/class/block/" + baseName(resolved.empty() ? source : resolved));
        return folder.empty() ? StorageKind::Network : kindOfBlockFolder(folder);
    }
    const std::string folder = realPath(sysRoot + "/dev/block/" + number);
    if (folder.empty()) return StorageKind::SolidState;
    return kindOfBlockFolder(folder);
}

StorageKind StorageDevice::kindOfBlockFolder(const std::string& blockFolder, int depth) {
    // A partition's folder lies inside its disk's.
    std::string disk = blockFolder;
    if (exists(disk + "/partition")) disk = disk.substr(0, disk.find_last_of('/'));
    if (isSolidStateByDesign(disk)) return StorageKind::SolidState;
    const std::vector<std::string> slaves = depth < kMaxStack ? slavesOf(disk) : std::vector<std::string>{};
    if (!slaves.empty()) {
        for (const std::string& slave : slaves) {
            const std::string folder = realPath(slave);
            if (!folder.empty() && kindOfBlockFolder(folder, depth + 1) == StorageKind::Rotating)
                return StorageKind::Rotating;
        }
        return StorageKind::SolidState;
    }
    return firstLine(disk + "/queue/rotational") == "1" ? StorageKind::Rotating : StorageKind::SolidState;
}

const char* StorageDevice::nameOf(StorageKind kind) {
    switch (kind) {
        case StorageKind::Rotating:
            return "rotating";
        case StorageKind::SolidState:
            return "solid-state";
        case StorageKind::Network:
            return "network";
    }
    return "unknown";
}

}  // namespace tw
