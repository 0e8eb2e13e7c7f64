#include "readers/BatteryReader.h"

#include "readers/KernelText.h"

#include <algorithm>
#include <cmath>

namespace trovimo {

namespace {

// µWh, µAh × µV and µW to watt-hours and watts.
constexpr double microUnits = 1e6;
// A draw near zero (just unplugged, a firmware rounding) promises days; past this the
// estimate says nothing.
constexpr double longestTimeLeftHours = 100.0;

// A flow past this is no battery's but a driver's error value (INT64_MIN µW reads as
// 9.2e12 W).
constexpr double mostWatts = 10'000.0;

struct PackEnergy {
    std::optional<double> now; // Wh, or Ah for a lone pack without a voltage; absent when unusable
    double full = 0.0;         // same unit
    std::optional<double> rate;
    bool inWatts = true;
};

// A pack's figures in watt-hours; each unusable one absent on its own. Absent without a full
// charge to measure against.
std::optional<PackEnergy> energyOf(const BatteryFigures& pack, bool alone) {
    const auto amount = [](const std::optional<std::int64_t>& value) -> std::optional<double> {
        if (!value || *value < 0) {
            return std::nullopt;
        }
        return static_cast<double>(*value) / microUnits;
    };
    const auto magnitude = [](const std::optional<std::int64_t>& value) -> std::optional<double> {
        if (!value) {
            return std::nullopt;
        }
        // Some drivers sign the flow: negative while discharging.
        return std::abs(static_cast<double>(*value)) / microUnits;
    };
    const auto plausible = [](PackEnergy energy) {
        if (energy.rate && !(*energy.rate <= mostWatts)) {
            energy.rate.reset();
        }
        return energy;
    };
    if (pack.energyFull > 0) {
        return plausible(PackEnergy{amount(pack.energyNow),
                                    static_cast<double>(*pack.energyFull) / microUnits,
                                    magnitude(pack.powerNow), true});
    }
    if (!(pack.chargeFull > 0)) {
        return std::nullopt;
    }
    const bool hasVoltage = pack.voltageNow && *pack.voltageNow > 0;
    if (!hasVoltage && !alone) {
        return std::nullopt; // charge cannot be added to another pack's without a voltage
    }
    // A lone pack's percentage and time left are ratios of charge: the voltage cancels out.
    const double volts = hasVoltage ? static_cast<double>(*pack.voltageNow) / microUnits : 1.0;
    const auto now = amount(pack.chargeNow);
    const auto current = magnitude(pack.currentNow);
    return plausible(PackEnergy{now ? std::optional<double>(*now * volts) : std::nullopt,
                                static_cast<double>(*pack.chargeFull) / microUnits * volts,
                                current ? std::optional<double>(*current * volts) : std::nullopt,
                                hasVoltage});
}

BatteryState combinedState(std::span<const BatteryFigures> packs) {
    const auto any = [&](BatteryState state) {
        return std::any_of(packs.begin(), packs.end(),
                           [state](const BatteryFigures& pack) { return pack.state == state; });
    };
    if (any(BatteryState::discharging)) {
        return BatteryState::discharging;
    }
    if (any(BatteryState::charging)) {
        return BatteryState::charging;
    }
    if (std::all_of(packs.begin(), packs.end(),
                    [](const BatteryFigures& pack) { return pack.state == BatteryState::full; })) {
        return BatteryState::full;
    }
    if (any(BatteryState::full) || any(BatteryState::pluggedIn)) {
        return BatteryState::pluggedIn;
    }
    return BatteryState::unknown;
}

} // namespace

std::optional<BatteryState> parseBatteryState(std::string_view text) noexcept {
    text = kerneltext::trimmed(text);
    if (text == "Charging") {
        return BatteryState::charging;
    }
    if (text == "Discharging") {
        return BatteryState::discharging;
    }
    if (text == "Full") {
        return BatteryState::full;
    }
    if (text == "Not charging") {
        return BatteryState::pluggedIn;
    }
    if (text == "Unknown") {
        return BatteryState::unknown;
    }
    return std::nullopt;
}

std::optional<BatteryStatus> batteryStatusFrom(std::span<const BatteryFigures> packs) noexcept {
    double now = 0.0;
    double full = 0.0;
    double rate = 0.0;
    bool nowKnown = true;
    bool rateKnown = true;
    bool inWatts = true;
    int measured = 0;
    double capacitySum = 0.0;
    int capacities = 0;
    for (const BatteryFigures& pack : packs) {
        if (const auto energy = energyOf(pack, packs.size() == 1)) {
            now += energy->now.value_or(0.0);
            nowKnown = nowKnown && energy->now.has_value();
            full += energy->full;
            rate += energy->rate.value_or(0.0);
            rateKnown = rateKnown && energy->rate.has_value();
            inWatts = inWatts && energy->inWatts;
            ++measured;
        } else if (pack.capacity && *pack.capacity >= 0) {
            capacitySum += static_cast<double>(std::min<std::int64_t>(*pack.capacity, 100));
            ++capacities;
        }
    }
    BatteryStatus status;
    if (measured > 0) {
        if (nowKnown) {
            status.percent = std::clamp(100.0 * now / full, 0.0, 100.0);
        }
    } else if (capacities > 0) {
        status.percent = capacitySum / capacities;
        rateKnown = false;
    } else {
        return std::nullopt;
    }
    status.state = combinedState(packs);
    if (rateKnown && inWatts) {
        status.powerWatts = rate;
    }
    if (nowKnown && rateKnown && rate > 0.0 && status.state == BatteryState::discharging) {
        const double hours = now / rate;
        if (hours <= longestTimeLeftHours) {
            status.timeLeft = std::chrono::seconds(std::lround(hours * 3600.0));
        }
    }
    return status;
}

// One pack's files: status and the figures that change, kept open; the full charge is read
// when searching (it changes with wear and calibration, not from second to second).
struct BatteryReader::Pack {
    enum class Units { energy, charge, capacity };

    Pack(const std::string& folder, Units units)
        : folder(folder), units(units), status(folder + "/status") {
        switch (units) {
        case Units::energy:
            now.emplace(folder + "/energy_now");
            rate.emplace(folder + "/power_now");
            break;
        case Units::charge:
            now.emplace(folder + "/charge_now");
            rate.emplace(folder + "/current_now");
            voltage.emplace(folder + "/voltage_now");
            break;
        case Units::capacity:
            now.emplace(folder + "/capacity");
            break;
        }
    }

    std::string folder;
    Units units;
    SysfsValueFile status;
    std::optional<SysfsValueFile> now;
    std::optional<SysfsValueFile> rate;
    std::optional<SysfsValueFile> voltage;
    std::optional<std::int64_t> full;
};

BatteryReader::BatteryReader(std::string root, DiscoverySchedule::Clock clock)
    : root_(std::move(root)), schedule_(discoverySpacing, std::move(clock)) {}

BatteryReader::~BatteryReader() = default;

std::optional<BatteryStatus> BatteryReader::read() {
    if (schedule_.due()) {
        discover();
    }
    const auto read = [](std::optional<SysfsValueFile>& file) {
        return file ? file->integer() : std::nullopt;
    };
    for (std::size_t i = 0; i < packs_.size(); ++i) {
        Pack& pack = packs_[i];
        BatteryFigures& figures = figures_[i];
        figures = {};
        const auto status = pack.status.text();
        figures.state = status ? parseBatteryState(*status) : std::nullopt;
        switch (pack.units) {
        case Pack::Units::energy:
            figures.energyNow = read(pack.now);
            figures.energyFull = pack.full;
            figures.powerNow = read(pack.rate);
            break;
        case Pack::Units::charge:
            figures.chargeNow = read(pack.now);
            figures.chargeFull = pack.full;
            figures.currentNow = read(pack.rate);
            figures.voltageNow = read(pack.voltage);
            break;
        case Pack::Units::capacity:
            figures.capacity = read(pack.now);
            break;
        }
    }
    return batteryStatusFrom(figures_);
}

std::vector<std::string> BatteryReader::tickFiles() const {
    std::vector<std::string> files;
    for (const Pack& pack : packs_) {
        files.push_back(pack.status.path());
        for (const auto* file : {&pack.now, &pack.rate, &pack.voltage}) {
            if (*file) {
                files.push_back((*file)->path());
            }
        }
    }
    return files;
}

void BatteryReader::discover() {
    struct Found {
        std::string folder;
        Pack::Units units;
        std::optional<std::int64_t> full;
    };
    std::vector<Found> found;
    const std::string classFolder = kerneltext::pathUnderRoot(root_, "/sys/class/power_supply");
    const auto text = [&](const std::string& path) -> std::string_view {
        const auto contents = discoveryFile_.read(path);
        return contents ? kerneltext::trimmed(*contents) : std::string_view();
    };
    const auto integer = [&](const std::string& path) {
        const auto contents = discoveryFile_.read(path);
        return contents ? kerneltext::parseSysfsInteger(*contents) : std::nullopt;
    };
    for (const auto& entry : kerneltext::entriesStartingWith(classFolder, "")) {
        const std::string folder = classFolder + "/" + entry;
        if (text(folder + "/type") != "Battery" || text(folder + "/scope") == "Device" ||
            text(folder + "/present") == "0") {
            continue;
        }
        // A full charge of 0 (a pack not yet calibrated) leaves only the percentage.
        const auto energyFull = integer(folder + "/energy_full");
        const auto chargeFull = integer(folder + "/charge_full");
        if (energyFull > 0 && kerneltext::pathExists(folder + "/energy_now")) {
            found.push_back({folder, Pack::Units::energy, energyFull});
        } else if (chargeFull > 0 && kerneltext::pathExists(folder + "/charge_now")) {
            found.push_back({folder, Pack::Units::charge, chargeFull});
        } else if (kerneltext::pathExists(folder + "/capacity")) {
            found.push_back({folder, Pack::Units::capacity, std::nullopt});
        }
    }

    const bool same =
        std::equal(found.begin(), found.end(), packs_.begin(), packs_.end(),
                   [](const Found& found, const Pack& pack) {
                       return found.folder == pack.folder && found.units == pack.units;
                   });
    if (!same) {
        packs_.clear();
        packs_.reserve(found.size());
        for (const Found& pack : found) {
            packs_.emplace_back(pack.folder, pack.units);
        }
        figures_.assign(found.size(), BatteryFigures{});
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        packs_[i].full = found[i].full;
    }
}

} // namespace trovimo
