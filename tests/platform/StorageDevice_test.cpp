// The kind of storage behind a device, read from a made-up /sys: partitions answer for
// their disk, virtual and NVMe disks are solid-state whatever their flag says, mapped
// devices rotate when a device under them does.

#include "platform/StorageDevice.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "TestSupport.h"

namespace {

using tw::StorageDevice;
using tw::StorageKind;

class FakeSys {
public:
    // A disk at devices/<bus>/block/<name> with its rotational flag, numbered major:minor.
    std::string disk(const std::string& bus, const std::string& name, const char* rotational, int major, int minor) {
        const std::string folder = "devices/" + bus + "/block/" + name;
        dir.write(folder + "/queue/rotational", std::string(rotational) + "\n");
        number(folder, major, minor);
        return folder;
    }
    std::string partition(const std::string& disk, const std::string& name, int major, int minor) {
        const std::string folder = disk + "/" + name;
        dir.write(folder + "/partition", "1\n");
        number(folder, major, minor);
        return folder;
    }
    void slave(const std::string& mapped, const std::string& under) {
        dir.mkdir(mapped + "/slaves");
        dir.symlink(dir / under, mapped + "/slaves/" + under.substr(under.find_last_of('/') + 1));
    }
    StorageKind kindOf(int major, int minor) const {
        return StorageDevice::kindOf(makedev(major, minor), dir.path(), dir / "mountinfo");
    }

    twtest::TempDir dir;

private:
    void number(const std::string& folder, int major, int minor) {
        dir.mkdir("dev/block");
        dir.symlink(dir / folder, "dev/block/" + std::to_string(major) + ":" + std::to_string(minor));
        dir.mkdir("class/block");
        dir.symlink(dir / folder, "class/block/" + folder.substr(folder.find_last_of('/') + 1));
    }
};

TEST(StorageDeviceTest, RotatingFlagDecidesForPlainDisksAndTheirPartitions) {
    FakeSys sys;
    const std::string sda = sys.disk("pci0/ata1/host0", "sda", "1", 8, 0);
    sys.partition(sda, "sda2", 8, 2);
    const std::string sdb = sys.disk("pci0/ata2/host1", "sdb", "0", 8, 16);
    sys.partition(sdb, "sdb1", 8, 17);
    EXPECT_EQ(sys.kindOf(8, 0), StorageKind::Rotating);
    EXPECT_EQ(sys.kindOf(8, 2), StorageKind::Rotating);
    EXPECT_EQ(sys.kindOf(8, 16), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(8, 17), StorageKind::SolidState);
}

TEST(StorageDeviceTest, VirtualAndNvmeDisksAreSolidStateWhateverTheirFlagSays) {
    FakeSys sys;
    const std::string vda = sys.disk("pci0/virtio1", "vda", "1", 254, 0);
    sys.partition(vda, "vda1", 254, 1);
    sys.disk("vbd-768", "xvda", "1", 202, 0);
    sys.disk("pci0/nvme/nvme0", "nvme0n1", "1", 259, 0);
    // A VMware SCSI disk by its vendor, a virtio disk named otherwise by its driver.
    const std::string vmware = sys.disk("pci0/host2/target2", "sdc", "1", 8, 32);
    sys.dir.write(vmware + "/device/vendor", "VMware  \n");
    const std::string other = sys.disk("pci0/virtio2", "sdd", "1", 8, 48);
    sys.dir.mkdir("bus/virtio/drivers/virtio_blk");
    sys.dir.symlink(sys.dir / "bus/virtio/drivers/virtio_blk", other + "/device/driver");
    EXPECT_EQ(sys.kindOf(254, 0), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(254, 1), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(202, 0), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(259, 0), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(8, 32), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(8, 48), StorageKind::SolidState);
}

TEST(StorageDeviceTest, MappedDevicesRotateWhenADeviceUnderThemDoes) {
    FakeSys sys;
    const std::string sda = sys.disk("pci0/ata1/host0", "sda", "1", 8, 0);
    const std::string sda1 = sys.partition(sda, "sda1", 8, 1);
    const std::string vda = sys.disk("pci0/virtio1", "vda", "1", 254, 0);
    const std::string vda1 = sys.partition(vda, "vda1", 254, 1);
    // dm-0 on the rotating partition (its own flag says 0), dm-1 on the virtual disk
    // (its flag copies the virtual disk's 1), dm-2 on both.
    const std::string dm0 = sys.disk("virtual", "dm-0", "0", 253, 0);
    sys.slave(dm0, sda1);
    const std::string dm1 = sys.disk("virtual", "dm-1", "1", 253, 1);
    sys.slave(dm1, vda1);
    const std::string dm2 = sys.disk("virtual", "dm-2", "0", 253, 2);
    sys.slave(dm2, vda1);
    sys.slave(dm2, sda1);
    EXPECT_EQ(sys.kindOf(253, 0), StorageKind::Rotating);
    EXPECT_EQ(sys.kindOf(253, 1), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(253, 2), StorageKind::Rotating);
}

TEST(StorageDeviceTest, AVolumeOnAnAnonymousDeviceIsToldByTheBlockDeviceItsMountNames) {
    FakeSys sys;
    const std::string sdz = sys.disk("pci0/ata1/host0", "sdz", "1", 8, 400);
    sys.partition(sdz, "sdz2", 8, 402);
    const std::string nvme = sys.disk("pci0/nvme/nvme9", "nvme9n1", "0", 259, 90);
    sys.partition(nvme, "nvme9n1p1", 259, 91);
    sys.dir.write("mountinfo",
                  "22 1 0:31 /@ / rw,relatime shared:1 - btrfs /dev/sdz2 rw,subvolid=256,subvol=/@\n"
                  "23 22 0:32 /@home /home rw,relatime shared:2 - btrfs /dev/sdz2 rw,subvolid=257,subvol=/@home\n"
                  "24 22 0:40 / /fast rw,relatime - btrfs /dev/nvme9n1p1 rw\n"
                  "25 22 0:45 / /net rw,relatime - nfs4 server:/export rw\n"
                  "26 22 0:46 / /tmp rw - tmpfs tmpfs rw\n"
                  "27 22 0:47 / /gone rw - btrfs /dev/sdy9 rw\n");
    EXPECT_EQ(sys.kindOf(0, 31), StorageKind::Rotating);
    EXPECT_EQ(sys.kindOf(0, 32), StorageKind::Rotating);
    EXPECT_EQ(sys.kindOf(0, 40), StorageKind::SolidState);
    EXPECT_EQ(sys.kindOf(0, 45), StorageKind::Network);
    EXPECT_EQ(sys.kindOf(0, 46), StorageKind::Network);
    EXPECT_EQ(sys.kindOf(0, 47), StorageKind::Network) << "a source sysfs does not know";
    EXPECT_EQ(sys.kindOf(0, 33), StorageKind::Network) << "a subvolume that is not mounted";
}

TEST(StorageDeviceTest, NoBlockDeviceIsNetworkAndAnUnknownOneSolidState) {
    FakeSys sys;
    EXPECT_EQ(sys.kindOf(0, 52), StorageKind::Network);
    EXPECT_EQ(sys.kindOf(8, 99), StorageKind::SolidState);
}

}  // namespace
