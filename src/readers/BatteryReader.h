#pragma once

#include "model/BatteryStatus.h"
#include "model/SampleSource.h"
#include "readers/DiscoverySchedule.h"
#include "readers/SysfsValueFile.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// A power_supply `status` ("Discharging\n"); absent on text the kernel does not write.
[[nodiscard]] std::optional<BatteryState> parseBatteryState(std::string_view text) noexcept;

// One pack as its power_supply folder reports it, in the kernel's units. A pack reports
// either energy (energy_*, power_now) or charge (charge_*, current_now, voltage_now).
struct BatteryFigures {
    std::optional<BatteryState> state;
    std::optional<std::int64_t> energyNow;  // µWh
    std::optional<std::int64_t> energyFull; // µWh
    std::optional<std::int64_t> powerNow;   // µW
    std::optional<std::int64_t> chargeNow;  // µAh
    std::optional<std::int64_t> chargeFull; // µAh
    std::optional<std::int64_t> currentNow; // µA
    std::optional<std::int64_t> voltageNow; // µV
    std::optional<std::int64_t> capacity;   // %, for packs that report neither

    friend bool operator==(const BatteryFigures&, const BatteryFigures&) = default;
};

// The packs taken together, as one battery: charge is summed in watt-hours (a charge-reporting
// pack through its voltage; alone, one needs no voltage) and the percentage is the sum over the
// full sum, the time left the remaining energy over the summed draw while discharging. Several
// packs discharge when one does, charge when one does, and are full when all are. Absent
// without a single pack whose full charge or percentage is known. A figure no battery reports
// (a charge below zero, a flow of kilowatts) leaves out what depends on it, nothing more.
[[nodiscard]] std::optional<BatteryStatus>
batteryStatusFrom(std::span<const BatteryFigures> packs) noexcept;

// The system's batteries from /sys/class/power_supply: every supply of type Battery whose
// scope is not Device (a mouse's or a headset's battery is not the system's) and which is
// present. The packs are looked for on the first read and every `discoverySpacing` (a second
// pack may be plugged into a bay); a tick reads only their status and present figures, each
// file kept open.
class BatteryReader final : public SampleSource<BatteryStatus> {
public:
    explicit BatteryReader(std::string root = "/", DiscoverySchedule::Clock clock = {});
    ~BatteryReader() override;

    [[nodiscard]] std::optional<BatteryStatus> read() override;

    static constexpr std::chrono::seconds discoverySpacing{30};

    // Files read on every tick (for the benchmark and tests).
    [[nodiscard]] std::vector<std::string> tickFiles() const;

private:
    struct Pack;

    void discover();

    std::string root_;
    DiscoverySchedule schedule_;
    std::vector<Pack> packs_;
    std::vector<BatteryFigures> figures_; // one per pack, reused every tick
    WholeFileReader discoveryFile_{256};
};

} // namespace trovimo
