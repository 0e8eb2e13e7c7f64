#pragma once

#include "model/SampleSource.h"
#include "model/SensorReadings.h"
#include "readers/DiscoverySchedule.h"
#include "readers/SysfsValueFile.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// A temperature file of hwmon or a thermal zone ("48500\n", millidegrees) in °C. Absent on
// anything else and outside -40 … 200 °C, where no working sensor reads: drivers pass off
// error codes and "no sensor" markers as such values.
[[nodiscard]] std::optional<double> parseMillidegrees(std::string_view text) noexcept;

// A temperature limit (temp*_max, temp*_crit) in °C; absent unless from 20 up to 200 °C:
// NVMe drives without a limit report -273.15 °C or 65261.85 °C (0xffff kelvin), and a limit
// no part is built for (1 °C from a broken firmware) would paint it red for good.
[[nodiscard]] std::optional<double> parseTemperatureLimit(std::string_view text) noexcept;

// A fan*_input in rpm; absent on anything else, below 0 and from 65535 on (a stalled tach
// line reads as all ones on some chips).
[[nodiscard]] std::optional<std::uint32_t> parseFanRpm(std::string_view text) noexcept;

enum class SensorKind { cpu, gpu, ssd };

// What a hwmon temperature stands for. Of the sensors of one kind, those of the lowest rank
// are kept and the hottest of them is shown.
struct SensorRole {
    SensorKind kind = SensorKind::cpu;
    int rank = 0;

    friend bool operator==(const SensorRole&, const SensorRole&) = default;
};

// The role of a temperature channel from its chip's `name` and its own label (empty when the
// channel has none). Absent for channels that are not shown: CPU cores and CCDs, a GPU's
// memory, an NVMe's extra sensors, and chips this program does not know.
[[nodiscard]] std::optional<SensorRole> hwmonTemperatureRole(std::string_view chip,
                                                             std::string_view label) noexcept;

// The CPU temperature of boards without a CPU hwmon driver (ARM boards, Intel without
// coretemp): thermal zones of these types, "-" and "_" alike ("cpu-thermal", "soc_thermal").
[[nodiscard]] bool isCpuThermalZone(std::string_view type) noexcept;

// CPU, GPU and NVMe temperatures and the fastest fan, from /sys/class/hwmon, with the CPU's
// thermal zone in /sys/class/thermal when no hwmon driver reports the CPU.
//
// hwmonN numbers change from boot to boot, so chips are told apart by `name` and channels by
// label. Finding the files takes a few dozen reads; it runs on the first read and then every
// `discoverySpacing`, and a tick in between only reads the files found, each kept open.
// A device that runtime-suspends (a laptop's discrete GPU) is looked at through its
// power/runtime_status before each tick: reading a sleeping GPU's sensor would wake it, so it
// counts as absent instead. NVIDIA cards report through NVML, not hwmon; their temperature is
// not read, as holding an NVML session keeps the card awake.
class SensorsReader final : public SampleSource<SensorReadings> {
public:
    explicit SensorsReader(std::string root = "/", DiscoverySchedule::Clock clock = {});
    ~SensorsReader() override;

    // Absent when the machine reports none of the four.
    [[nodiscard]] std::optional<SensorReadings> read() override;

    static constexpr std::chrono::seconds discoverySpacing{30};

    // Files read on every tick (for the benchmark and tests).
    [[nodiscard]] std::vector<std::string> tickFiles() const;

private:
    struct Plan;
    struct Source;
    struct Gate;

    void discover();
    void discoverHwmon(std::vector<Plan>& plans);
    void discoverThermalZones(std::vector<Plan>& plans);
    [[nodiscard]] std::string runtimeGate(const std::string& device);
    [[nodiscard]] bool isSuspended(const std::string& gate);

    std::string root_;
    DiscoverySchedule schedule_;
    std::vector<Source> sources_;
    std::vector<Gate> gates_;
    WholeFileReader discoveryFile_{256}; // names, labels and limits, read only when searching
};

} // namespace trovimo
