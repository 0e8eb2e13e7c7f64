#pragma once

#include "model/CPULoad.h"
#include "model/SampleSource.h"
#include "readers/CPUTicks.h"
#include "readers/WholeFileReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// One core's counters together with the kernel's number for it. Only online cores have a
// line in /proc/stat, so the position in the list is not the core number.
struct NumberedCPUTicks {
    std::uint32_t cpu = 0;
    CPUTicks ticks;

    friend bool operator==(const NumberedCPUTicks&, const NumberedCPUTicks&) = default;
};

// The cpuN lines of /proc/stat, in kernel order, into `cores` (cleared first; its storage is
// reused). The columns are user nice system idle iowait irq softirq steal guest guest_nice in
// USER_HZ ticks; they fold into our four counters as system = system + irq + softirq + steal
// and idle = idle + iowait. guest and guest_nice are left out: the kernel already counts them
// inside user and nice. False on a malformed cpu line (fewer than four columns, a non-number,
// core numbers out of order); a file without cpuN lines gives an empty list.
[[nodiscard]] bool parseProcStatInto(std::string_view text, std::vector<NumberedCPUTicks>& cores);
[[nodiscard]] std::optional<std::vector<NumberedCPUTicks>> parseProcStat(std::string_view text);

// The ten /proc/stat columns of one core (user nice system idle iowait irq softirq steal guest
// guest_nice, in any one unit) folded into our four counters as the parser folds them.
[[nodiscard]] CPUTicks cpuTicksFromColumns(std::span<const std::uint64_t, 10> column) noexcept;

// The busy fraction of every core present in both samples, matched by core number; a core
// that went offline or came online in between is left out. Absent when no core matches.
[[nodiscard]] std::optional<CPULoad> cpuLoadBetween(std::span<const NumberedCPUTicks> previous,
                                                    std::span<const NumberedCPUTicks> current);

// The busy fraction of one core between two readings of its counters, 0..1.
[[nodiscard]] double busyFraction(const CPUTicks& previous, const CPUTicks& current) noexcept;

// CPU load per core since the previous call, from /proc/stat below `root`.
class CPUStatsReader final : public SampleSource<CPULoad> {
public:
    explicit CPUStatsReader(const std::string& root = "/");

    // Absent on the first call, when /proc/stat cannot be read or parsed (the previous
    // counters are then kept) and when no core is in both samples.
    [[nodiscard]] std::optional<CPULoad> read() override;

private:
    std::string statPath_;
    WholeFileReader file_;
    std::vector<NumberedCPUTicks> previous_;
    std::vector<NumberedCPUTicks> current_;
    bool hasPrevious_ = false;
};

} // namespace trovimo
