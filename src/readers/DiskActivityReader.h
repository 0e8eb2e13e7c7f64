#pragma once

#include "model/DiskActivitySource.h"
#include "readers/WholeFileReader.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// One line of /proc/diskstats: the device's kernel name and its sectors read and written
// (fields 6 and 10, always in 512-byte units whatever the disk's sector size).
struct DiskstatsCounters {
    std::string_view name; // points into the parsed text
    std::uint64_t sectorsRead = 0;
    std::uint64_t sectorsWritten = 0;
};

// Absent when the line has fewer than ten fields or one of them is not what it should be.
[[nodiscard]] std::optional<DiskstatsCounters> parseDiskstatsLine(std::string_view line) noexcept;

// One line of /proc/self/mountinfo, the parts needed to find the file system under a path.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;  // with the kernel's octal escapes ("\040") undone
    std::string_view fsType; // points into the parsed text
    std::string_view source; // as written, escapes kept
};

// Absent when the line is malformed (no " - " separator, too few fields, a bad device number).
[[nodiscard]] std::optional<MountEntry> parseMountinfoLine(std::string_view line);

// The mount that `path` (without symbolic links) lies on: the longest mount point above it,
// the last one listed where several are stacked on the same point.
[[nodiscard]] std::optional<MountEntry> mountOver(std::string_view mountinfo,
                                                  std::string_view path);

// The physical disks below the home volume, by kernel name as /proc/diskstats lists them,
// and the name to show for them: the disk's own, and over several disks the volume's (the
// device-mapper or md name, a btrfs label).
struct HomeDisks {
    std::vector<std::string> disks;
    std::string name;

    friend bool operator==(const HomeDisks&, const HomeDisks&) = default;
};

// Follows the home volume's device through /sys below `root`: a partition to its disk,
// device-mapper (LUKS, LVM) and md devices through slaves/ to the disks beneath. A btrfs volume
// has an anonymous device number; its devices come from /sys/fs/btrfs/<uuid>/devices, the
// file system being the one mounted (per `mountinfo`) over the home directory. Absent for file
// systems without a block device of their own: network, tmpfs, overlay, and ZFS, whose pools
// show their disks nowhere in /sys.
[[nodiscard]] std::optional<HomeDisks>
resolveHomeDisks(std::string_view root, const HomeVolume& home, std::string_view mountinfo);

// Read and write rates of the disks under the home directory, from /proc/diskstats: byte
// deltas over the elapsed time handed in. The disks are looked up when the home volume is
// handed in (`setHome`, with what `locateHome` found), not on each tick; absent until then.
class DiskActivityReader final : public DiskActivitySource {
public:
    using Locate = std::function<std::optional<HomeVolume>()>;

    // `locate` finds the home volume; by default locateHome(root).
    explicit DiskActivityReader(std::string root = "/", Locate locate = {});

    [[nodiscard]] std::optional<DiskActivity> read(TimePoint now) override;
    [[nodiscard]] std::optional<HomeVolume> locateHome() const override { return locate_(); }
    void setHome(const std::optional<HomeVolume>& home, TimePoint now) override;

    // The disks found by the last lookup; absent before a home was handed in and when none.
    [[nodiscard]] const std::optional<HomeDisks>& disks() const noexcept { return disks_; }

    // $HOME (else the password entry's home directory) through realpath and stat. Below another
    // root (a captured tree), the mount over that path in the root's /proc/self/mountinfo.
    [[nodiscard]] static std::optional<HomeVolume> locateHome(const std::string& root);

private:
    struct Totals {
        std::uint64_t read = 0;
        std::uint64_t written = 0;
    };

    void resolve(const std::optional<HomeVolume>& home);
    [[nodiscard]] std::optional<Totals> readTotals();

    std::string root_;
    std::string diskstatsPath_;
    Locate locate_;
    std::optional<HomeDisks> disks_;
    std::optional<std::pair<Totals, TimePoint>> previous_;
    WholeFileReader diskstats_;
    WholeFileReader mountinfo_{4096};
};

} // namespace trovimo
