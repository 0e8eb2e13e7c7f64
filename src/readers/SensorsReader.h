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

// A temperature in °C as a sensor reports it; absent outside -40 … 200 °C, where no working
// sensor reads: drivers pass off error codes and "no sensor" markers as such values.
[[nodiscard]] std::optional<double> plausibleCelsius(double celsius) noexcept;
// A temperature file of hwmon or a thermal zone ("48500\n", millidegrees) in °C, as above.
[[nodiscard]] std::optional<double> parseMillidegrees(std::string_view text) noexcept;

// A temperature limit (temp*_max, temp*_crit) in °C; absent unless from 20 up to 200 °C:
// NVMe drives without a limit report -273.15 °C or 65261.85 °C (0xffff kelvin), and a limit
// no part is built for (1 °C from a broken firmware) would paint it red for good.
[[nodiscard]] std::optional<double> plausibleTemperatureLimit(double celsius) noexcept;
[[nodiscard]] std::optional<double> parseTemperatureLimit(std::string_view text) noexcept;

// A fan speed in rpm; absent below 0 and from 65535 on (a stalled tach line reads as all ones
// on some chips), and for what is not a whole number.
[[nodiscard]] std::optional<std::uint32_t> plausibleFanRpm(double rpm) noexcept;
[[nodiscard]] std::optional<std::uint32_t> parseFanRpm(std::string_view text) noexcept;

// A reading with its sensor's limits, each where the sensor names none at its default; the
// high limit no higher than the critical one (a drive whose critical limit lies below 85 °C
// would turn red before orange).
[[nodiscard]] Temperature temperatureWithLimits(double celsius, std::optional<double> high,
                                                std::optional<double> critical) noexcept;

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
// A CPU thermal zone's rank: below every hwmon CPU sensor, so it counts only without one.
inline constexpr int thermalZoneRank = 9;

// The readings of one pass over the sensors: of each kind, the hottest of the channels of the
// best (lowest) rank, and the fastest fan. An unlabelled fan at 0 rpm is an empty header.
class SensorPick {
public:
    void addTemperature(SensorRole role, const Temperature& temperature) noexcept;
    void addFan(std::uint32_t rpm, bool labelled) noexcept;
    // Absent when no sensor was added.
    [[nodiscard]] std::optional<SensorReadings> readings() const noexcept;

private:
    struct Ranked {
        Temperature temperature;
        int rank = 0;
    };
    std::optional<Ranked> cpu_;
    std::optional<Ranked> gpu_;
    std::optional<Ranked> ssd_;
    std::optional<std::uint32_t> fan_;
};

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
