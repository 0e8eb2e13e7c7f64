#pragma once

#include "model/Blocks.h"
#include "model/StatsSnapshot.h"
#include "remote/Exposition.h"
#include "remote/NodeMetrics.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace trovimo {

// What a block sees of a whole body besides its own samples.
struct NodeBody {
    const NodeMetrics& metrics;
    // Seconds since the body before, on the exporter's clock where it can be trusted; absent
    // for the first body and for the first after the machine restarted.
    std::optional<double> elapsed;
};

// A block read from another machine's node exporter by metric families of its own, as a local
// reader reads its files: it keeps the entries of the body it is reading (views into that body)
// and the counters its next rates need, and nothing else. NodeExporterReader hands it the
// samples of its families during its one pass over a body, and asks for the figure at the end.
class NodeBlockReader {
public:
    NodeBlockReader() = default;
    NodeBlockReader(const NodeBlockReader&) = delete;
    NodeBlockReader& operator=(const NodeBlockReader&) = delete;
    virtual ~NodeBlockReader() = default;

    [[nodiscard]] virtual Block block() const noexcept = 0;
    // The beginnings of its metrics' names after "node_" ("hwmon_", "thermal_zone_temp").
    [[nodiscard]] virtual std::span<const std::string_view> families() const noexcept = 0;

    // A body begins: the last one's entries go, their room stays.
    virtual void begin() = 0;
    // A sample of families()[family]; `what` is the rest of its name.
    virtual void take(std::size_t family, std::string_view what,
                      const ExpositionSample& sample) = 0;
    // The body ended: the block's figure into `figures`, absent where the body does not tell it.
    virtual void write(const NodeBody& body, Figures& figures) = 0;
    // The rates start afresh: the machine restarted, or the block was hidden.
    virtual void forget() {}
};

} // namespace trovimo
