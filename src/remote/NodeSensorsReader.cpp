#include "remote/NodeSensorsReader.h"

#include "readers/SensorsReader.h"
#include "remote/NodeMetricsPass.h"

#include <array>
#include <utility>

namespace trovimo {

using namespace nodemetrics;

std::span<const std::string_view> NodeSensorsReader::families() const noexcept {
    static constexpr std::array<std::string_view, 2> names = {"hwmon_", "thermal_zone_temp"};
    return names;
}

void NodeSensorsReader::begin() {
    channels_.clear();
    chips_.clear();
    zones_.clear();
    cursor_ = 0;
}

void NodeSensorsReader::take(std::size_t family, std::string_view what,
                             const ExpositionSample& sample) {
    if (family == 0) {
        takeHwmon(what, sample);
    } else if (const auto celsius = finite(sample.value);
               what.empty() && celsius && zones_.size() < maximumEntries) {
        zones_.push_back({labelOf(sample, "type"), *celsius});
    }
}

void NodeSensorsReader::takeHwmon(std::string_view what, const ExpositionSample& sample) {
    using ChannelKey = std::pair<std::string_view, std::string_view>;
    const std::string_view chip = labelOf(sample, "chip");
    if (chip.empty()) {
        return;
    }
    if (what == "chip_names") {
        if (chips_.size() < maximumEntries) {
            chips_.push_back({chip, labelOf(sample, "chip_name")});
        }
        return;
    }
    const bool temperature = what.starts_with("temp_");
    if (!temperature && what != "fan_rpm" && what != "sensor_label") {
        return;
    }
    const ChannelKey key{chip, labelOf(sample, "sensor")};
    Channel* channel = entryFor<Channel, ChannelKey>(
        channels_, cursor_, key, [](const Channel& each, const ChannelKey& wanted) {
            return each.chip == wanted.first && each.sensor == wanted.second;
        });
    if (channel == nullptr) {
        return;
    }
    channel->chip = key.first;
    channel->sensor = key.second;
    if (what == "sensor_label") {
        if (!channel->labelled) {
            channel->labelled = true;
            channel->label = labelOf(sample, "label");
        }
    } else if (what == "temp_celsius" || what == "fan_rpm") {
        setOnce(channel->value, finite(sample.value));
    } else if (what == "temp_max_celsius") {
        setOnce(channel->max, finite(sample.value));
    } else if (what == "temp_crit_celsius") {
        setOnce(channel->critical, finite(sample.value));
    }
}

void NodeSensorsReader::write(const NodeBody& /*body*/, Figures& figures) {
    SensorPick pick;
    for (const Channel& channel : channels_) {
        if (!channel.value) {
            continue;
        }
        if (channel.sensor.starts_with("fan")) {
            if (const auto rpm = plausibleFanRpm(*channel.value)) {
                pick.addFan(*rpm, channel.labelled);
            }
            continue;
        }
        if (!channel.sensor.starts_with("temp")) {
            continue;
        }
        std::string_view chipName;
        for (const Chip& chip : chips_) {
            if (chip.chip == channel.chip) {
                chipName = chip.name;
                break;
            }
        }
        const auto role = hwmonTemperatureRole(chipName, channel.label);
        const auto celsius = plausibleCelsius(*channel.value);
        if (role && celsius) {
            const auto limit = [](std::optional<double> value) {
                return value ? plausibleTemperatureLimit(*value) : std::nullopt;
            };
            pick.addTemperature(*role, temperatureWithLimits(*celsius, limit(channel.max),
                                                             limit(channel.critical)));
        }
    }
    for (const ThermalZone& zone : zones_) {
        if (const auto celsius = plausibleCelsius(zone.celsius);
            celsius && isCpuThermalZone(zone.type)) {
            pick.addTemperature({SensorKind::cpu, thermalZoneRank},
                                temperatureWithLimits(*celsius, std::nullopt, std::nullopt));
        }
    }
    figures.sensors = pick.readings();
}

} // namespace trovimo
