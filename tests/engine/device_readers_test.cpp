// Reading for the device: whatever the number of readers, and whether a device's files
// are taken in their order on the disk, a scan finds the same groups and counts.

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <algorithm>

#include "ScanHarness.h"
#include "engine/TWDeviceReaders.h"
#include "platform/SafeFile.h"
#include "prefs/TWPreference.h"

using namespace twtest;

namespace {

class DeviceReaders : public ::testing::Test {
protected:
    ScopedDefaults defaults;
    TempDir dir;
    std::string base = TWFileUtility::resolvePath(dir.path());

    ScanReport scanWithReaders(int readers) {
        TWSearchDuplicateFiles::Options options = quietOptions();
        options.readers = readers;
        return scan({dir.path()}, options);
    }
};

TEST_F(DeviceReaders, AnyNumberOfReadersFindsTheSameGroups) {
    buildTree(dir);
    // Files that agree on every sampled byte (only the full check tells them apart),
    // sets of three, and files of one size that differ: the reads a decision needs
    // come from every kind of comparison.
    for (int i = 0; i < 12; ++i) {
        std::string a = randomBytes(9000 + i, 100 + i);
        std::string b = a;
        b[1500] ^= 0x5A;
        dir.write("near/" + std::to_string(i) + "/a.dat", a);
        dir.write("near/" + std::to_string(i) + "/b.dat", b);
        dir.write("near/three-" + std::to_string(i) + ".dat", a);
        dir.write("same-size/" + std::to_string(i) + ".bin", randomBytes(4096, 500 + i));
    }
    const ScanReport automatic = scanWithReaders(0);
    const std::vector<Group> expected = groupsOf(automatic, base);
    ASSERT_EQ(expected.size(), kTreeFiles / 2 + 12);
    for (int readers : {1, 2, 8}) {
        SCOPED_TRACE(readers);
        const ScanReport report = scanWithReaders(readers);
        EXPECT_EQ(groupsOf(report, base), expected);
        EXPECT_EQ(report.scanned, automatic.scanned);
        EXPECT_EQ(report.duplicates, automatic.duplicates);
        EXPECT_EQ(report.duplicateSize, automatic.duplicateSize);
    }
}

TEST_F(DeviceReaders, OneReaderSortsAFoldersFilesWithoutLosingOne) {
    std::vector<std::shared_ptr<TWFileUtility>> records;
    for (int i = 0; i < 20; ++i)
        records.push_back(TWFileUtility::initWithPath(dir.write("f" + std::to_string(i), randomBytes(5000, i))));
    auto sorted = records;
    TWDeviceReaders::sortInPhysicalOrder(sorted);
    ASSERT_EQ(sorted.size(), records.size());
    for (const auto& record : records) EXPECT_NE(std::find(sorted.begin(), sorted.end(), record), sorted.end());
    // By position where the file system tells (every file here has one), else by inode.
    std::vector<uint64_t> keys;
    bool mapped = true;
    for (const auto& record : sorted) {
        auto offset = tw::SafeFile::open(record->filePath())->physicalOffset();
        mapped = mapped && offset;
        keys.push_back(offset.value_or(0));
    }
    if (!mapped)
        for (size_t i = 0; i < sorted.size(); ++i) keys[i] = sorted[i]->inode();
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
}

TEST(DeviceReadersKinds, RotatingDisksGetOneReaderOthersSeveral) {
    EXPECT_EQ(TWDeviceReaders::readersOfKind(tw::StorageKind::Rotating), 1);
    EXPECT_GT(TWDeviceReaders::readersOfKind(tw::StorageKind::SolidState), 1);
    EXPECT_GT(TWDeviceReaders::readersOfKind(tw::StorageKind::Network), 1);
    TWDeviceReaders fixed(3);
    EXPECT_EQ(fixed.readersFor(makedev(8, 1)), 3);
    EXPECT_FALSE(fixed.readsInPhysicalOrder(makedev(8, 1)));
    TWDeviceReaders one(1);
    EXPECT_TRUE(one.readsInPhysicalOrder(makedev(0, 40)));
}

}  // namespace
