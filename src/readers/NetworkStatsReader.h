#pragma once

#include "model/ThroughputSource.h"
#include "readers/WholeFileReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trovimo {

// One interface's line of /proc/net/dev: name and the 64-bit byte counters.
struct NetDevCounters {
    std::string_view name; // points into the parsed text
    std::uint64_t rxBytes = 0;
    std::uint64_t txBytes = 0;
};

// Parses one data line of /proc/net/dev ("  eth0: 1234 5 0 ..."). The name ends at the last
// ':' of the line (names may themselves contain ':', alias style). Absent for the two header
// lines and anything malformed.
[[nodiscard]] std::optional<NetDevCounters> parseNetDevLine(std::string_view line) noexcept;

// Bytes per second received and sent by the selected interface since the previous call.
// The counters come from /proc/net/dev (64-bit, unlike glibc's getifaddrs statistics, which
// wrap every 4 GiB) and the up/loopback flags from /sys/class/net/<name>/flags.
class NetworkStatsReader final : public ThroughputSource {
public:
    explicit NetworkStatsReader(std::string root = "/");

    [[nodiscard]] std::optional<NetworkSpeed>
    read(BoottimeClock::time_point now, const std::optional<std::string>& interface) override;

    // The summed counters of the selection, as `read` takes them; absent when /proc/net/dev
    // cannot be read. An interface that is down or unknown counts 0.
    struct Counters {
        std::uint64_t rx = 0;
        std::uint64_t tx = 0;
    };
    [[nodiscard]] std::optional<Counters> readCounters(const std::optional<std::string>& interface);

private:
    [[nodiscard]] bool isUpAndNotLoopback(std::string_view name);

    struct Previous {
        std::string key;
        Counters counters;
        BoottimeClock::time_point time;
    };

    std::string procNetDev_;
    std::string sysClassNet_;
    WholeFileReader netDevFile_;
    WholeFileReader flagsFile_{64};
    std::string flagsPath_; // reused to build /sys/class/net/<name>/flags
    std::optional<Previous> previous_;
};

} // namespace trovimo
