#include "readers/DiskActivityReader.h"

#include "ScratchProcTree.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

// Well-formed lines are read through the captured trees below (the sectors into rates; the
// FUSE mount's escaped space, its type and minor into the resolution).
TEST(DiskActivityParsing, MalformedDiskstatsAndMountinfoLines) {
    for (const char* bad : {"", "   8 0 sda 1 2 3 4 5 6", "8 0 sda 1 2 3 4 5 6 x",
                            "8 0 sda 1 2 -3 4 5 6 7", "8 x sda 1 2 3 4 5 6 7"}) {
        EXPECT_FALSE(parseDiskstatsLine(bad)) << bad;
    }
    for (const char* bad : {"", "22 1 253:1 / / rw ext4 /dev/sda rw", "22 1 2531 / / rw - ext4 x",
                            "22 1 253:1 / / rw - ext4"}) {
        EXPECT_FALSE(parseMountinfoLine(bad)) << bad;
    }
}

TEST(ResolveHomeDisks, FromTheHomeVolumeToThePhysicalDisks) {
    using Case = std::tuple<const char*, HomeVolume, std::optional<HomeDisks>>;
    const HomeDisks laptop{{"nvme0n1"}, "nvme0n1"};
    const Case cases[] = {
        {"luks-lvm", {"/home/ada", 253, 2}, laptop}, // LV -> LUKS -> partition -> disk
        {"luks-lvm", {"/boot", 259, 2}, laptop},     // a plain partition
        {"luks-lvm", {"/home/ada", 253, 9}, std::nullopt},
        {"luks-lvm", {"/home/ada/Google Drive/notes", 0, 48}, std::nullopt}, // FUSE
        // btrfs: the mount over the home directory names the file system.
        {"btrfs-two-disks", {"/home/ada", 0, 34}, HomeDisks{{"nvme0n1", "nvme1n1"}, "fedora"}},
        {"btrfs-two-disks", {"/media/backup/ada", 0, 39}, HomeDisks{{"sda"}, "sda"}},
        {"btrfs-two-disks", {"/srv/share/ada", 0, 52}, std::nullopt},
        {"btrfs-two-disks", {"/tank/ada", 0, 60}, std::nullopt}, // ZFS
        // A broken stack whose device lists itself six times over: each device once.
        {"cyclic-stack", {"/home/ada", 253, 7}, HomeDisks{{"vda"}, "vda"}},
    };
    for (const auto& [fixture, home, expected] : cases) {
        const std::string root = test::fixturePath(std::string("disk-activity/") + fixture);
        WholeFileReader file;
        const auto mountinfo = file.read(root + "/proc/self/mountinfo");
        ASSERT_TRUE(mountinfo);
        EXPECT_EQ(resolveHomeDisks(root, home, *mountinfo), expected) << home.path;
    }
}

// iostat's arithmetic: sector deltas of the disk × 512 bytes over the elapsed time.
TEST(DiskActivityReader, RatesOfTheDisksUnderTheHomeVolume) {
    test::ScratchProcTree tree;
    std::filesystem::create_directory_symlink(test::fixturePath("disk-activity/luks-lvm/sys"),
                                              tree.root() + "/sys");
    const auto diskstats = [&](std::uint64_t read, std::uint64_t written) {
        tree.write("proc/diskstats", " 259 0 nvme0n1 9 0 " + std::to_string(read) + " 0 9 0 " +
                                         std::to_string(written) +
                                         " 0 0 0 0\n 259 3 nvme0n1p3 9 0 7 0 9 0 7 0 0 0 0\n");
    };
    DiskActivityReader reader(tree.root(), [] { return HomeVolume{"/home/ada", 253, 2}; });
    const auto start = DiskActivityReader::TimePoint(1'000'000s);
    reader.setHome(reader.locateHome(), start); // before there is a table to prime from

    diskstats(1000, 5000);
    EXPECT_FALSE(reader.read(start));
    diskstats(1000 + 2048, 5000 + 409600);
    EXPECT_EQ(reader.read(start + 2s), (DiskActivity{524288.0, 104857600.0, "nvme0n1"}));
    diskstats(10, 20); // counters reset
    EXPECT_EQ(reader.read(start + 3s), (DiskActivity{0.0, 0.0, "nvme0n1"}));
    tree.write("proc/diskstats", " 259 3 nvme0n1p3 9 0 7 0 9 0 7 0 0 0 0\n");
    EXPECT_FALSE(reader.read(start + 4s));
}

} // namespace
} // namespace trovimo
