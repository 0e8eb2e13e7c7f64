#pragma once

#include "remote/NodeBlockReader.h"

#include <string_view>
#include <vector>

namespace trovimo {

// The temperatures and the fan from node_hwmon_* (one entry per chip and channel) and
// node_thermal_zone_temp, picked as the local sensors reader picks them from the same kernel
// files.
class NodeSensorsReader final : public NodeBlockReader {
public:
    [[nodiscard]] Block block() const noexcept override { return Block::sensors; }
    [[nodiscard]] std::span<const std::string_view> families() const noexcept override;
    void begin() override;
    void take(std::size_t family, std::string_view what, const ExpositionSample& sample) override;
    void write(const NodeBody& body, Figures& figures) override;

private:
    struct Channel {
        std::string_view chip;
        std::string_view sensor; // "temp1", "fan2"
        std::optional<double> value;
        std::optional<double> max;      // temperatures only
        std::optional<double> critical; // temperatures only
        std::string_view label;
        bool labelled = false;
    };
    struct Chip {
        std::string_view chip;
        std::string_view name; // chip_name: the driver's name, as hwmon's `name` file has it
    };
    struct ThermalZone {
        std::string_view type;
        double celsius = 0.0;
    };
    void takeHwmon(std::string_view what, const ExpositionSample& sample);

    std::vector<Channel> channels_;
    std::vector<Chip> chips_;
    std::vector<ThermalZone> zones_;
    std::size_t cursor_ = 0;
};

} // namespace trovimo
