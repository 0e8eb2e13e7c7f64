#include "remote/NodeMetricsPass.h"

#include <algorithm>
#include <array>
#include <limits>

namespace trovimo::nodemetrics {
namespace {

NodeMetrics::Interface* interfaceFor(Pass& pass, std::string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    auto* entry = entryFor<NodeMetrics::Interface, std::string_view>(
        pass.metrics.interfaces, pass.interfaceCursor, name,
        [](const NodeMetrics::Interface& each, const std::string_view& key) {
            return each.name == key;
        });
    if (entry != nullptr && entry->name.empty()) {
        entry->name = name;
    }
    return entry;
}

std::optional<std::int64_t> indexOf(double value) noexcept {
    const auto index = countOf(value);
    if (!index || *index > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*index);
}

} // namespace

void readNetwork(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    static constexpr std::array<std::string_view, 6> used = {
        "receive_bytes_total", "transmit_bytes_total", "up", "protocol_type", "iface_id",
        "iface_link"};
    if (std::find(used.begin(), used.end(), what) == used.end()) {
        return;
    }
    NodeMetrics::Interface* entry = interfaceFor(pass, labelOf(sample, "device"));
    if (entry == nullptr) {
        return;
    }
    const double value = sample.value;
    if (what == "receive_bytes_total") {
        setOnce(entry->rxBytes, countOf(value));
    } else if (what == "transmit_bytes_total") {
        setOnce(entry->txBytes, countOf(value));
    } else if (what == "up") {
        setOnce(entry->up, std::isfinite(value) ? std::optional<bool>(value == 1.0) : std::nullopt);
    } else if (what == "protocol_type") {
        const auto type = countOf(value);
        setOnce(entry->linkType,
                type && *type <= 0xffff ? std::optional<std::uint32_t>(*type) : std::nullopt);
    } else if (what == "iface_id") {
        setOnce(entry->index, indexOf(value));
    } else {
        setOnce(entry->link, indexOf(value));
    }
}

void readFilesystem(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    const ExpositionLabel* mount = sample.label("mountpoint");
    if (mount == nullptr) {
        return;
    }
    std::optional<NodeMetrics::Filesystem>* target = nullptr;
    if (mount->valueIs("/")) {
        target = &pass.metrics.root;
    } else if (mount->valueIs("/home")) {
        target = &pass.metrics.home;
    } else {
        return;
    }
    const std::string_view device = labelOf(sample, "device");
    if (!*target) {
        target->emplace().device = device;
    } else if ((*target)->device != device) {
        return; // a second file system stacked on the same point: the first one listed counts
    }
    NodeMetrics::Filesystem& filesystem = **target;
    if (what == "size_bytes") {
        setOnce(filesystem.size, countOf(sample.value));
    } else if (what == "free_bytes") {
        setOnce(filesystem.free, countOf(sample.value));
    } else if (what == "avail_bytes") {
        setOnce(filesystem.available, countOf(sample.value));
    } else if (what == "device_error") {
        filesystem.deviceError = filesystem.deviceError || sample.value != 0.0;
    }
}

void readDisk(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    const bool read = what == "read_bytes_total";
    const bool written = what == "written_bytes_total";
    const bool mapper = what == "device_mapper_info";
    const std::string_view name = labelOf(sample, "device");
    if ((!read && !written && !mapper) || name.empty()) {
        return;
    }
    auto* entry = entryFor<NodeMetrics::Disk, std::string_view>(
        pass.metrics.disks, pass.diskCursor, name,
        [](const NodeMetrics::Disk& each, const std::string_view& key) {
            return each.name == key;
        });
    if (entry == nullptr) {
        return;
    }
    entry->name = name;
    if (read) {
        setOnce(entry->readBytes, countOf(sample.value));
    } else if (written) {
        setOnce(entry->writtenBytes, countOf(sample.value));
    } else if (entry->mapperName.empty()) {
        entry->mapperName = labelOf(sample, "name");
    }
}

using ChannelKey = std::pair<std::string_view, std::string_view>;

void readHwmon(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    NodeMetrics& metrics = pass.metrics;
    const std::string_view chip = labelOf(sample, "chip");
    if (chip.empty()) {
        return;
    }
    if (what == "chip_names") {
        if (metrics.hwmonChips.size() < maximumEntries) {
            metrics.hwmonChips.push_back({chip, labelOf(sample, "chip_name")});
        }
        return;
    }
    const bool temperature = what.starts_with("temp_");
    if (!temperature && what != "fan_rpm" && what != "sensor_label") {
        return;
    }
    const ChannelKey key{chip, labelOf(sample, "sensor")};
    auto* channel = entryFor<NodeMetrics::HwmonChannel, ChannelKey>(
        metrics.hwmon, pass.hwmonCursor, key,
        [](const NodeMetrics::HwmonChannel& each, const ChannelKey& wanted) {
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

void readPowerSupply(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    const std::string_view name = labelOf(sample, "power_supply");
    if (name.empty()) {
        return;
    }
    auto* supply = entryFor<NodeMetrics::PowerSupply, std::string_view>(
        pass.metrics.powerSupplies, pass.supplyCursor, name,
        [](const NodeMetrics::PowerSupply& each, const std::string_view& key) {
            return each.name == key;
        });
    if (supply == nullptr) {
        return;
    }
    supply->name = name;
    BatteryFigures& figures = supply->figures;
    struct Field {
        std::string_view metric;
        std::optional<std::int64_t> BatteryFigures::*member;
    };
    static constexpr std::array<Field, 7> fields{{
        {"energy_watthour", &BatteryFigures::energyNow},
        {"energy_full", &BatteryFigures::energyFull},
        {"power_watt", &BatteryFigures::powerNow},
        {"charge_ampere", &BatteryFigures::chargeNow},
        {"charge_full", &BatteryFigures::chargeFull},
        {"current_ampere", &BatteryFigures::currentNow},
        {"voltage_volt", &BatteryFigures::voltageNow},
    }};
    for (const Field& field : fields) {
        if (what == field.metric) {
            setOnce(figures.*field.member, microUnitsOf(sample.value));
            return;
        }
    }
    if (what == "capacity") {
        // A percentage; what lies far outside is clamped so that it converts, and then
        // refused by the battery arithmetic like any other implausible figure.
        if (std::isfinite(sample.value)) {
            setOnce(figures.capacity, std::optional<std::int64_t>(
                                          std::llround(std::clamp(sample.value, -1.0, 1000.0))));
        }
    } else if (what == "present") {
        supply->present = supply->present && sample.value != 0.0;
    } else if (what == "info") {
        supply->type = labelOf(sample, "type");
        supply->scope = labelOf(sample, "scope");
        if (!figures.state) {
            figures.state = parseBatteryState(labelOf(sample, "status"));
        }
    }
}

} // namespace trovimo::nodemetrics
