// Packs of a power_supply class folder, one file's contents per line in this order: status,
// energy_now, energy_full, power_now, charge_now, charge_full, current_now, voltage_now,
// capacity; a tenth line starts the next pack. The sum must stay a percentage and a time.
#include "readers/BatteryReader.h"
#include "readers/KernelText.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::array<trovimo::BatteryFigures, 3> packs{};
    std::size_t field = 0;
    std::string_view line;
    while (field < packs.size() * 9 && trovimo::kerneltext::nextLine(text, line)) {
        auto& pack = packs[field / 9];
        const auto number = trovimo::kerneltext::parseSysfsInteger(line);
        switch (field % 9) {
        case 0:
            pack.state = trovimo::parseBatteryState(line);
            break;
        case 1:
            pack.energyNow = number;
            break;
        case 2:
            pack.energyFull = number;
            break;
        case 3:
            pack.powerNow = number;
            break;
        case 4:
            pack.chargeNow = number;
            break;
        case 5:
            pack.chargeFull = number;
            break;
        case 6:
            pack.currentNow = number;
            break;
        case 7:
            pack.voltageNow = number;
            break;
        default:
            pack.capacity = number;
            break;
        }
        ++field;
    }
    const std::size_t count = field == 0 ? 0 : (field - 1) / 9 + 1;
    if (const auto status = trovimo::batteryStatusFrom(std::span(packs.data(), count))) {
        if ((status->percent && !(*status->percent >= 0.0 && *status->percent <= 100.0)) ||
            (status->timeLeft &&
             (status->timeLeft->count() < 0 || status->timeLeft->count() > 100 * 3600)) ||
            (status->powerWatts &&
             !(std::isfinite(*status->powerWatts) && *status->powerWatts >= 0.0))) {
            std::abort();
        }
    }
    return 0;
}
