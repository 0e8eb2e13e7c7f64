#pragma once

#include "core/UniqueFd.h"
#include "model/MemoryPressure.h"
#include "model/MemoryStats.h"
#include "model/SampleSource.h"
#include "readers/WholeFileReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// The /proc/meminfo lines the memory figures are built from, in bytes. A line the kernel
// does not print counts 0.
struct MeminfoFigures {
    std::uint64_t memTotal = 0;
    std::uint64_t memFree = 0;
    // The kernel's estimate of what could be handed out without swapping (3.14 on): what
    // free, top and the desktops' monitors subtract from MemTotal to call the rest used.
    std::optional<std::uint64_t> memAvailable;
    std::uint64_t active = 0;
    std::uint64_t inactive = 0;
    std::uint64_t activeAnon = 0;
    std::uint64_t inactiveAnon = 0;
    std::uint64_t unevictable = 0;
    // KReclaimable (4.20 on) covers SReclaimable and other reclaimable kernel memory; older
    // kernels have SReclaimable alone.
    std::optional<std::uint64_t> kReclaimable;
    std::uint64_t sReclaimable = 0;
    std::uint64_t zswap = 0; // compressed size of the zswap pool (5.19 on)
    std::uint64_t swapTotal = 0;
    std::uint64_t swapFree = 0;

    friend bool operator==(const MeminfoFigures&, const MeminfoFigures&) = default;
};

// Absent when MemTotal is missing or 0, or a line we use has no number or one too large.
[[nodiscard]] std::optional<MeminfoFigures> parseMeminfo(std::string_view text);

// /proc/pressure/memory: the state of its avg10 figures (below). Absent on a malformed file.
[[nodiscard]] std::optional<MemoryPressure> parseMemoryPressure(std::string_view text);

// The pressure state from the ten-second averages of the share of time some task (`some`) and
// every task (`full`) stalled on memory, in percent: critical when full >= 10 %, else warning
// when some >= 10 %, else normal.
[[nodiscard]] MemoryPressure memoryPressureFromAverages(double someAvg10,
                                                        double fullAvg10) noexcept;

// /sys/block/zramN/mm_stat: the third column, mem_used_total, in bytes.
[[nodiscard]] std::optional<std::uint64_t> parseZramMemoryUsed(std::string_view text);

// /proc/spl/kstat/zfs/arcstats: the ARC's `size` in bytes.
[[nodiscard]] std::optional<std::uint64_t> parseArcSize(std::string_view text);

// The memory sample from the figures: used = MemTotal - MemAvailable, split into app (the
// anonymous LRU lists, shared memory included), compressed (zswap and zram) and wired, the
// rest. Without MemAvailable, wired is what lies on no LRU list and is not free, reclaimable
// or compressed. `zramBytes` is the memory all zram devices hold, `arcBytes` the ZFS ARC
// size when ZFS is loaded (only needed without MemAvailable).
[[nodiscard]] MemoryStats memoryStatsFrom(const MeminfoFigures& figures, std::uint64_t zramBytes,
                                          std::optional<std::uint64_t> arcBytes,
                                          std::optional<MemoryPressure> pressure);

// Memory use from /proc/meminfo, zram, the ZFS ARC and the pressure-stall figures below
// `root`. zram devices and the ARC come with modules that are rarely loaded after boot: which
// of them exist is looked up again every `rescanInterval` reads, or at the next read once a
// known device stops answering; in between only their figures are read.
class MemoryStatsReader final : public SampleSource<MemoryStats> {
public:
    explicit MemoryStatsReader(const std::string& root = "/");

    // Absent only when /proc/meminfo cannot be read or parsed.
    [[nodiscard]] std::optional<MemoryStats> read() override;

    static constexpr int rescanInterval = 10;

private:
    void findZramDevices();
    [[nodiscard]] std::uint64_t zramBytes();

    std::string meminfoPath_;
    std::string pressurePath_;
    std::string arcstatsPath_;
    std::string blockPath_;
    std::vector<std::string> zramStatPaths_; // /sys/block/zramN/mm_stat of each device found
    int readsSinceScan_ = rescanInterval;    // the first read looks
    bool arcFound_ = false;
    WholeFileReader file_;
    std::vector<char> directoryBuffer_;
    // sysfs's block folder, kept open between reads.
    UniqueFd blockDirectory_;
};

} // namespace trovimo
