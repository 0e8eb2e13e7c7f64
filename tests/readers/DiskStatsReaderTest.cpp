#include "readers/DiskStatsReader.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace trovimo {
namespace {

TEST(DiskUsageFrom, StatvfsArithmetic) {
    using Case = std::tuple<const char*, VolumeFigures, std::optional<DiskUsage>>;
    constexpr std::uint64_t huge = std::numeric_limits<std::uint64_t>::max();
    const Case cases[] = {
        // ext4 with its 5 % root reserve: df says 400 used, 550 available of 1000.
        {"reserved blocks",
         {1000, 600, 550, 4096, 4096},
         DiskUsage{450 * 4096, 1000 * 4096, 50 * 4096, std::nullopt}},
        {"no reserve",
         {1000, 600, 600, 4096, 4096},
         DiskUsage{400 * 4096, 1000 * 4096, 0, std::nullopt}},
        {"fragment size is the unit",
         {100, 50, 50, 1024, 65536},
         DiskUsage{50 * 1024, 100 * 1024, 0, std::nullopt}},
        {"block size when there is no fragment size",
         {100, 50, 50, 0, 512},
         DiskUsage{50 * 512, 100 * 512, 0, std::nullopt}},
        // Some file systems (btrfs, FUSE) report more available than free: no negative reserve.
        {"available beyond free",
         {1000, 500, 600, 4096, 4096},
         DiskUsage{400 * 4096, 1000 * 4096, 0, std::nullopt}},
        {"available beyond the volume",
         {1000, 2000, 3000, 4096, 4096},
         DiskUsage{0, 1000 * 4096, 0, std::nullopt}},
        {"empty pseudo file system", {0, 0, 0, 4096, 4096}, DiskUsage{0, 0, 0, std::nullopt}},
        {"no unit at all", {1000, 600, 550, 0, 0}, std::nullopt},
        {"bytes beyond 63 bits", {huge / 1024, 0, 0, 4096, 4096}, std::nullopt},
    };
    for (const auto& [name, figures, expected] : cases) {
        EXPECT_EQ(diskUsageFrom(figures), expected) << name;
    }
}

// A real home volume is read by the app's first-frame test, a missing one by the fault matrix.
TEST(DiskStatsReader, WithoutHomeThePasswordEntryNamesIt) {
    const QByteArray saved = qgetenv("HOME");
    qunsetenv("HOME");
    EXPECT_FALSE(DiskStatsReader::homeDirectory().empty());
    qputenv("HOME", saved);
    EXPECT_FALSE(DiskStatsReader("").read());
}

} // namespace
} // namespace trovimo
