#pragma once

#include "model/SampleSource.h"
#include "model/SelfStats.h"
#include "readers/SelfCPUSample.h"
#include "readers/WholeFileReader.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// The two clocks of the self-load figure, both in nanoseconds so that their differences
// divide without conversion.
struct SelfClocks {
    // CPU time of the whole process (all threads); absent when the clock cannot be read.
    std::function<std::optional<std::uint64_t>()> cpuTime;
    // A clock reading that never steps: the elapsed time the CPU time is divided by.
    std::function<std::uint64_t()> monotonic;

    // CLOCK_PROCESS_CPUTIME_ID and CLOCK_BOOTTIME (which, unlike CLOCK_MONOTONIC, goes on
    // through a suspend: the first figure after resume is the share of the whole interval).
    [[nodiscard]] static SelfClocks system();
};

// The private memory of a process from its /proc/<pid>/status: RssAnon + RssShmem + VmSwap,
// in bytes. Resident size (VmRSS) would also count the shared libraries' pages. Absent when
// none of the three lines is there or one is malformed.
[[nodiscard]] std::optional<std::uint64_t> parseSelfFootprint(std::string_view status);

// What the monitor itself costs: CPU time per elapsed time and private memory.
class SelfStatsReader final : public SampleSource<SelfStats> {
public:
    explicit SelfStatsReader(const std::string& root = "/",
                             SelfClocks clocks = SelfClocks::system());

    // Absent on the first call and when the clock did not advance; absent, with the previous
    // sample kept, when the CPU time or the footprint cannot be read.
    [[nodiscard]] std::optional<SelfStats> read() override;

private:
    std::string statusPath_;
    SelfClocks clocks_;
    WholeFileReader file_;
    std::optional<SelfCPUSample> previous_;
};

} // namespace trovimo
