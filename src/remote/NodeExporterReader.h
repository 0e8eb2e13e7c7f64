#pragma once

#include "core/BoottimeClock.h"
#include "readers/CPUStatsReader.h"
#include "remote/NodeCollectors.h"
#include "remote/NodeMetrics.h"
#include "remote/RemoteFigures.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// Turns the bodies of one machine's node exporter, one after the other, into the figures of
// the blocks: the local readers' formulas over the same kernel figures, and the rates against
// the body before, as the local readers keep their previous counters.
//
// Rates are taken over the exporter's own time between the two bodies (node_time_seconds,
// which does not carry the network's delay) unless that disagrees with our receive times by
// more than half (the remote clock was set); then over the receive times, on the boot-time
// clock. A counter that went back gives 0 for that one rate; a changed boot time (the machine
// restarted) drops the previous body, so the first body after a restart has no rates.
class NodeExporterReader {
public:
    using TimePoint = BoottimeClock::time_point;

    [[nodiscard]] RemoteFigures read(std::string_view body, TimePoint receivedAt,
                                     const RemoteBlocks& shown);

    // Samples in the last body: none means it was no exposition at all (a web page).
    [[nodiscard]] std::size_t samplesRead() const noexcept { return metrics_.samples; }

    // The pressure averages' window: the kernel's avg10.
    static constexpr double pressureWindowSeconds = 10.0;

private:
    struct Counters {
        std::string name;
        std::uint64_t rx = 0;
        std::uint64_t tx = 0;
    };
    struct Previous {
        TimePoint receivedAt{};
        std::optional<double> sampleTime;
        std::optional<double> bootTime;
        std::vector<NumberedCPUTicks> cores;
        std::vector<Counters> interfaces; // rx/tx bytes; for disks read/written bytes
        std::vector<Counters> disks;
        std::optional<double> memoryWaiting;
        std::optional<double> memoryStalled;
    };

    [[nodiscard]] std::optional<double> elapsedSince(const Previous& previous,
                                                     TimePoint receivedAt) const;
    [[nodiscard]] std::optional<MemoryPressure> pressure(std::optional<double> elapsed);
    void network(RemoteFigures& figures, std::optional<double> elapsed);
    [[nodiscard]] std::optional<DiskUsage> disk() const;
    [[nodiscard]] std::optional<DiskActivity> diskActivity(std::optional<double> elapsed) const;
    [[nodiscard]] std::optional<SensorReadings> sensors() const;
    [[nodiscard]] std::optional<BatteryStatus> battery() const;
    void remember(TimePoint receivedAt);

    NodeMetrics metrics_;
    std::optional<Previous> previous_;
    std::optional<double> someAverage_; // percent, as the kernel's avg10
    std::optional<double> fullAverage_;
    std::string interface_; // the interface shown, kept while it stays the busiest
};

} // namespace trovimo
