#pragma once

#include <cstdint>
#include <optional>

namespace trovimo {

// One temperature with the limits of its own sensor, all in °C. A sensor that names no limit
// gets 85 °C (high) and 95 °C (critical): typical of CPU packages and drives alike.
struct Temperature {
    double celsius = 0.0;
    double high = 85.0;     // temp*_max: the value turns orange from here
    double critical = 95.0; // temp*_crit: and red from here

    friend bool operator==(const Temperature&, const Temperature&) = default;
};

// The hottest sensor of each kind; a kind the machine does not have (or that sleeps, like a
// runtime-suspended GPU) is absent.
struct SensorReadings {
    std::optional<Temperature> cpu; // the CPU package (hottest package on several sockets)
    std::optional<Temperature> gpu;
    std::optional<Temperature> ssd;      // NVMe drives
    std::optional<std::uint32_t> fanRpm; // the fastest fan

    friend bool operator==(const SensorReadings&, const SensorReadings&) = default;
};

} // namespace trovimo
