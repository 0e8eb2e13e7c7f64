#include "readers/DiskStatsReader.h"

#include "readers/Counters.h"

#include <pwd.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace trovimo {

std::optional<DiskUsage> diskUsageFrom(const VolumeFigures& figures) {
    const std::uint64_t unit = figures.fragmentSize != 0 ? figures.fragmentSize : figures.blockSize;
    if (unit == 0) {
        return std::nullopt;
    }
    // Some network and FUSE file systems report counts that contradict each other; keep the
    // sample consistent rather than show more available than there is.
    const std::uint64_t available = std::min(figures.blocksAvailable, figures.blocks);
    const std::uint64_t free = std::min(figures.blocksFree, figures.blocks);
    const auto total = checkedProduct<std::int64_t>(figures.blocks, unit);
    const auto availableBytes = checkedProduct<std::int64_t>(available, unit);
    const auto reserved = checkedProduct<std::int64_t>(saturatingSub(free, available), unit);
    if (!total || !availableBytes || !reserved) {
        return std::nullopt;
    }
    DiskUsage usage;
    usage.total = *total;
    usage.used = *total - *availableBytes;
    // What the volume itself counts as used is (blocks - bfree); the rest of `used` is the
    // reserve that only root may fill.
    usage.system = *reserved;
    return usage;
}

DiskStatsReader::DiskStatsReader(std::string home) : home_(std::move(home)) {}

std::string DiskStatsReader::homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

std::optional<DiskUsage> DiskStatsReader::read() {
    if (home_.empty()) {
        return std::nullopt;
    }
    struct statvfs volume {};
    // A hung network home blocks here; there is no timeout to give statvfs, so the
    // disk's sampler calls this away from the GUI thread.
    if (::statvfs(home_.c_str(), &volume) != 0) {
        return std::nullopt;
    }
    return diskUsageFrom(
        {volume.f_blocks, volume.f_bfree, volume.f_bavail, volume.f_frsize, volume.f_bsize});
}

} // namespace trovimo
