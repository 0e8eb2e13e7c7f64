#pragma once

#include "readers/CPUStatsReader.h"
#include "readers/MemoryStatsReader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace trovimo {

class NodeBlockReader;

// The figures of one node exporter body that every panel reads (the exporter's clock, CPU,
// memory, network and the file systems at / and /home), as the exporter hands them over; the
// blocks with metric families of their own read those themselves (NodeBlockReader). Every name is a
// view into the body, which must outlive this record; a figure the body does not carry (its
// collector is off, the machine has no such thing) stays absent. Values that are no figure at all
// (NaN, infinite, a negative count) count as absent, and a series that comes twice counts once, the
// first time.
struct NodeMetrics {
    // node_time_seconds (the exporter's wall clock when it collected), or else the timestamp a
    // sample carried, in seconds.
    std::optional<double> sampleTime;
    std::optional<double> bootTime; // node_boot_time_seconds

    // node_cpu_seconds_total by cpu and mode, in hundredths of a second (the kernel's USER_HZ
    // ticks, which the exporter divided by 100), ascending by core; a core short of a mode or
    // with a value that is no count is left out.
    std::vector<NumberedCPUTicks> cores;

    // node_memory_*_bytes; absent without MemTotal.
    std::optional<MeminfoFigures> memory;
    // node_pressure_memory_{waiting,stalled}_seconds_total: the time some and all tasks stalled
    // on memory since boot.
    std::optional<double> memoryWaitingSeconds;
    std::optional<double> memoryStalledSeconds;

    struct Interface {
        std::string_view name;
        std::optional<std::uint64_t> rxBytes;
        std::optional<std::uint64_t> txBytes;
        std::optional<bool> up;                // node_network_up
        std::optional<std::uint32_t> linkType; // node_network_protocol_type (ARPHRD_*)
        std::optional<std::int64_t> index;     // node_network_iface_id
        std::optional<std::int64_t> link;      // node_network_iface_link
    };
    std::vector<Interface> interfaces;

    // node_filesystem_* of the mounts at / and /home.
    struct Filesystem {
        std::string_view device; // as written, escapes kept
        std::optional<std::uint64_t> size;
        std::optional<std::uint64_t> free;
        std::optional<std::uint64_t> available;
        bool deviceError = false;
    };
    std::optional<Filesystem> root;
    std::optional<Filesystem> home;
    // The one the panel shows: /home where it is a mount of its own, else /.
    [[nodiscard]] const std::optional<Filesystem>& homeVolume() const noexcept {
        return home ? home : root;
    }

    // Samples in the body and lines that were not samples.
    std::size_t samples = 0;
    std::size_t skippedLines = 0;

    // Room the reading reuses from one body to the next: each core's columns as they come,
    // and where in that list each core number is (-1: not yet).
    struct CoreColumns {
        std::uint32_t cpu = 0;
        std::array<std::uint64_t, 10> column{};
        unsigned seen = 0;
        bool bad = false;
    };
    std::vector<CoreColumns> coreColumns;
    std::vector<std::int32_t> slotOfCpu;
};

// Reads `body` into `metrics`, which is cleared first and keeps the room its lists had, so that
// a steady stream of bodies allocates nothing, and hands each sample of their families to
// `blocks` in the same pass. How much is kept is bounded whatever the body holds:
// `maximumCores` cores, `maximumEntries` entries of each list.
void readNodeMetrics(std::string_view body, NodeMetrics& metrics,
                     std::span<NodeBlockReader* const> blocks = {});

inline constexpr std::uint32_t maximumCores = 8192;
inline constexpr std::size_t maximumEntries = 512;

} // namespace trovimo
