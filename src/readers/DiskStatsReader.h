#pragma once

#include "model/DiskUsage.h"
#include "model/SampleSource.h"

#include <cstdint>
#include <optional>
#include <string>

namespace trovimo {

// The statvfs figures of one file system that the disk sample is made of.
struct VolumeFigures {
    std::uint64_t blocks = 0;          // f_blocks
    std::uint64_t blocksFree = 0;      // f_bfree, including the blocks reserved for root
    std::uint64_t blocksAvailable = 0; // f_bavail, what an ordinary user may still write
    std::uint64_t fragmentSize = 0;    // f_frsize, the unit of the block counts
    std::uint64_t blockSize = 0;       // f_bsize, the unit when f_frsize is 0

    friend bool operator==(const VolumeFigures&, const VolumeFigures&) = default;
};

// total = blocks; used = total - available; system = the root-reserved blocks (f_bfree -
// f_bavail, which df's Used leaves out), not below 0; purgeable absent: the file system offers
// no space that is free only for important use (the disk's sampler puts the trash there).
// Absent when there is no unit or the byte counts do not fit 63 bits.
[[nodiscard]] std::optional<DiskUsage> diskUsageFrom(const VolumeFigures& figures);

// The capacity of the file system that holds the home directory.
class DiskStatsReader final : public SampleSource<DiskUsage> {
public:
    // `home` is the directory to ask about; by default $HOME, else the password entry's.
    explicit DiskStatsReader(std::string home = homeDirectory());

    // Absent when statvfs fails (no such directory, no permission). Blocks for as long as the
    // home's file system does not answer (a network home whose server went away).
    [[nodiscard]] std::optional<DiskUsage> read() override;

    [[nodiscard]] static std::string homeDirectory();

private:
    std::string home_;
};

} // namespace trovimo
