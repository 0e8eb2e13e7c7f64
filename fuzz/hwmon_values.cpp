// The one-value files of hwmon, thermal zones and power_supply; a first line taken as a chip's
// name and the rest as a channel label or a zone type.
#include "readers/BatteryReader.h"
#include "readers/SensorsReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto celsius = trovimo::parseMillidegrees(text)) {
        if (!(*celsius >= -40.0 && *celsius <= 200.0)) {
            std::abort();
        }
    }
    if (const auto limit = trovimo::parseTemperatureLimit(text)) {
        if (!(*limit > 0.0 && *limit <= 200.0)) {
            std::abort();
        }
    }
    if (const auto rpm = trovimo::parseFanRpm(text); rpm && *rpm >= 65535) {
        std::abort();
    }
    static_cast<void>(trovimo::parseBatteryState(text));
    const std::size_t newline = text.find('\n');
    const std::string_view chip = text.substr(0, newline);
    const std::string_view label =
        newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    static_cast<void>(trovimo::hwmonTemperatureRole(chip, label));
    static_cast<void>(trovimo::isCpuThermalZone(label));
    return 0;
}
