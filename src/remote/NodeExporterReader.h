#pragma once

#include "core/BoottimeClock.h"
#include "model/Blocks.h"
#include "model/StatsSnapshot.h"
#include "readers/CPUStatsReader.h"
#include "remote/NodeBlockReader.h"
#include "remote/NodeMetrics.h"

#include <cstdint>
#include <memory>
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
//
// The figures are those of the shown blocks that the exporter can tell: never the GPU or the
// panel's own load, and absent where a collector is off or the machine has no such thing.
class NodeExporterReader {
public:
    using TimePoint = BoottimeClock::time_point;

    NodeExporterReader();
    ~NodeExporterReader();
    NodeExporterReader(const NodeExporterReader&) = delete;
    NodeExporterReader& operator=(const NodeExporterReader&) = delete;

    [[nodiscard]] Figures read(std::string_view body, TimePoint receivedAt, BlockSet shown);

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
        std::vector<Counters> interfaces; // received and sent bytes
        std::optional<double> memoryWaiting;
        std::optional<double> memoryStalled;
    };

    [[nodiscard]] std::optional<double> elapsedSince(const Previous& previous,
                                                     TimePoint receivedAt) const;
    [[nodiscard]] std::optional<MemoryPressure> pressure(std::optional<double> elapsed);
    void network(Figures& figures, std::optional<double> elapsed);
    [[nodiscard]] std::optional<DiskUsage> disk() const;
    void remember(TimePoint receivedAt);

    NodeMetrics metrics_;
    // The blocks with metric families of their own, and those of them shown now.
    std::vector<std::unique_ptr<NodeBlockReader>> blockReaders_;
    std::vector<NodeBlockReader*> shownReaders_;
    std::optional<Previous> previous_;
    std::optional<double> someAverage_; // percent, as the kernel's avg10
    std::optional<double> fullAverage_;
    std::string interface_; // the interface shown, kept while it stays the busiest
};

} // namespace trovimo
