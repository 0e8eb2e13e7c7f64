#include "remote/NodeBatteryReader.h"

#include "remote/NodeMetricsPass.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trovimo {

using namespace nodemetrics;

std::span<const std::string_view> NodeBatteryReader::families() const noexcept {
    static constexpr std::array<std::string_view, 1> names = {"power_supply_"};
    return names;
}

void NodeBatteryReader::begin() {
    supplies_.clear();
    cursor_ = 0;
}

void NodeBatteryReader::take(std::size_t /*family*/, std::string_view what,
                             const ExpositionSample& sample) {
    const std::string_view name = labelOf(sample, "power_supply");
    if (name.empty()) {
        return;
    }
    Supply* supply = entryFor<Supply, std::string_view>(
        supplies_, cursor_, name,
        [](const Supply& each, const std::string_view& key) { return each.name == key; });
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

void NodeBatteryReader::write(const NodeBody& /*body*/, Figures& figures) {
    packs_.clear();
    for (const Supply& supply : supplies_) {
        // A mouse's or a headset's battery is not the machine's.
        if (supply.type == "Battery" && supply.scope != "Device" && supply.present) {
            packs_.push_back(supply.figures);
        }
    }
    figures.battery = batteryStatusFrom(packs_);
}

} // namespace trovimo
