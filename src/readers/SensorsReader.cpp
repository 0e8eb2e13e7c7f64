#include "readers/SensorsReader.h"

#include "readers/KernelText.h"

#include <algorithm>
#include <array>

namespace trovimo {

namespace {

constexpr double defaultHigh = Temperature{}.high;
constexpr double defaultCritical = Temperature{}.critical;

// Slots of the readings: the three temperature kinds, then the fans.
constexpr std::size_t fanSlot = 3;
constexpr std::size_t slotCount = 4;

std::size_t slotOf(SensorKind kind) {
    return static_cast<std::size_t>(kind);
}

// "temp3_input" -> "temp3"; empty for other names.
std::string_view channelOf(std::string_view file, std::string_view kind) {
    constexpr std::string_view suffix = "_input";
    if (!file.starts_with(kind) || !file.ends_with(suffix) ||
        file.size() <= kind.size() + suffix.size()) {
        return {};
    }
    const std::string_view number =
        file.substr(kind.size(), file.size() - kind.size() - suffix.size());
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return {};
    }
    return file.substr(0, file.size() - suffix.size());
}

} // namespace

std::optional<double> plausibleCelsius(double celsius) noexcept {
    if (!(celsius >= -40.0 && celsius <= 200.0)) {
        return std::nullopt;
    }
    return celsius;
}

std::optional<double> parseMillidegrees(std::string_view text) noexcept {
    const auto value = kerneltext::parseSysfsInteger(text);
    return value ? plausibleCelsius(static_cast<double>(*value) / 1000.0) : std::nullopt;
}

std::optional<double> plausibleTemperatureLimit(double celsius) noexcept {
    if (!(celsius >= 20.0 && celsius <= 200.0)) {
        return std::nullopt;
    }
    return celsius;
}

std::optional<double> parseTemperatureLimit(std::string_view text) noexcept {
    const auto value = kerneltext::parseSysfsInteger(text);
    return value ? plausibleTemperatureLimit(static_cast<double>(*value) / 1000.0) : std::nullopt;
}

std::optional<std::uint32_t> plausibleFanRpm(double rpm) noexcept {
    if (!(rpm >= 0.0 && rpm < 65535.0) || rpm != static_cast<double>(static_cast<int>(rpm))) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(rpm);
}

std::optional<std::uint32_t> parseFanRpm(std::string_view text) noexcept {
    const auto value = kerneltext::parseSysfsInteger(text);
    // Far outside the range, an integer need not fit a double exactly; it is refused anyway.
    if (!value || *value < 0 || *value >= 65535) {
        return std::nullopt;
    }
    return plausibleFanRpm(static_cast<double>(*value));
}

Temperature temperatureWithLimits(double celsius, std::optional<double> high,
                                  std::optional<double> critical) noexcept {
    const double criticalOrDefault = critical.value_or(defaultCritical);
    return Temperature{celsius, std::min(high.value_or(defaultHigh), criticalOrDefault),
                       criticalOrDefault};
}

void SensorPick::addTemperature(SensorRole role, const Temperature& temperature) noexcept {
    std::optional<Ranked>& best =
        role.kind == SensorKind::cpu ? cpu_ : (role.kind == SensorKind::gpu ? gpu_ : ssd_);
    if (!best || role.rank < best->rank ||
        (role.rank == best->rank && temperature.celsius > best->temperature.celsius)) {
        best = Ranked{temperature, role.rank};
    }
}

void SensorPick::addFan(std::uint32_t rpm, bool labelled) noexcept {
    if (rpm > 0 || labelled) {
        fan_ = std::max(fan_.value_or(0), rpm);
    }
}

std::optional<SensorReadings> SensorPick::readings() const noexcept {
    if (!cpu_ && !gpu_ && !ssd_ && !fan_) {
        return std::nullopt;
    }
    const auto temperature = [](const std::optional<Ranked>& ranked) {
        return ranked ? std::optional<Temperature>(ranked->temperature) : std::nullopt;
    };
    return SensorReadings{temperature(cpu_), temperature(gpu_), temperature(ssd_), fan_};
}

std::optional<SensorRole> hwmonTemperatureRole(std::string_view chip,
                                               std::string_view label) noexcept {
    if (chip == "coretemp") {
        // "Physical id N" before Linux 3.15.
        if (label.starts_with("Package id ") || label.starts_with("Physical id ")) {
            return SensorRole{SensorKind::cpu, 0};
        }
        return std::nullopt;
    }
    if (chip == "k10temp" || chip == "zenpower") {
        // Tctl is the fan-control value, Tdie plus an offset of up to 27 °C on some models;
        // Tdie appears where the two differ. Kernels before 4.19 label neither.
        if (label == "Tdie") {
            return SensorRole{SensorKind::cpu, 0};
        }
        if (label == "Tctl" || label.empty()) {
            return SensorRole{SensorKind::cpu, 1};
        }
        return std::nullopt;
    }
    if (chip == "amdgpu") {
        // Cards before Vega have a single unlabelled edge sensor.
        if (label == "edge" || label.empty()) {
            return SensorRole{SensorKind::gpu, 0};
        }
        if (label == "junction") {
            return SensorRole{SensorKind::gpu, 1};
        }
        return std::nullopt;
    }
    if (chip == "nvme") {
        if (label == "Composite" || label.empty()) {
            return SensorRole{SensorKind::ssd, 0};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool isCpuThermalZone(std::string_view type) noexcept {
    static constexpr std::array<std::string_view, 3> types = {"x86_pkg_temp", "cpu_thermal",
                                                              "soc_thermal"};
    return std::any_of(types.begin(), types.end(), [type](std::string_view known) {
        return known.size() == type.size() &&
               std::equal(known.begin(), known.end(), type.begin(),
                          [](char a, char b) { return a == b || (a == '_' && b == '-'); });
    });
}

// One file to read on every tick and what it stands for.
struct SensorsReader::Plan {
    std::string path;
    std::string gate; // the device's power/runtime_status; empty when it never suspends
    std::size_t slot = 0;
    int rank = 0;
    double high = defaultHigh;
    double critical = defaultCritical;
    bool labelled = false; // a fan with a name counts even while it stands still

    friend bool operator==(const Plan&, const Plan&) = default;
};

struct SensorsReader::Source {
    explicit Source(Plan from) : plan(std::move(from)), file(plan.path) {}
    Plan plan;
    SysfsValueFile file;
    std::size_t gate = 0; // index into gates_ when plan.gate is set
};

struct SensorsReader::Gate {
    explicit Gate(std::string path) : file(std::move(path)) {}
    SysfsValueFile file;
    bool suspended = false;
};

SensorsReader::SensorsReader(std::string root, DiscoverySchedule::Clock clock)
    : root_(std::move(root)), schedule_(discoverySpacing, std::move(clock)) {}

SensorsReader::~SensorsReader() = default;

std::optional<SensorReadings> SensorsReader::read() {
    if (schedule_.due()) {
        discover();
    }
    for (Gate& gate : gates_) {
        const auto status = gate.file.text();
        gate.suspended = status && kerneltext::trimmed(*status) == "suspended";
    }
    SensorPick pick;
    for (Source& source : sources_) {
        if (!source.plan.gate.empty() && gates_[source.gate].suspended) {
            continue;
        }
        const auto text = source.file.text();
        if (!text) {
            continue;
        }
        if (source.plan.slot == fanSlot) {
            if (const auto rpm = parseFanRpm(*text)) {
                pick.addFan(*rpm, source.plan.labelled);
            }
            continue;
        }
        if (const auto celsius = parseMillidegrees(*text)) {
            pick.addTemperature({static_cast<SensorKind>(source.plan.slot), source.plan.rank},
                                {*celsius, source.plan.high, source.plan.critical});
        }
    }
    return pick.readings();
}

std::vector<std::string> SensorsReader::tickFiles() const {
    std::vector<std::string> files;
    for (const Gate& gate : gates_) {
        files.push_back(gate.file.path());
    }
    for (const Source& source : sources_) {
        files.push_back(source.plan.path);
    }
    return files;
}

void SensorsReader::discover() {
    std::vector<Plan> plans;
    discoverHwmon(plans);
    if (std::none_of(plans.begin(), plans.end(),
                     [](const Plan& plan) { return plan.slot == slotOf(SensorKind::cpu); })) {
        discoverThermalZones(plans);
    }
    // Of each temperature kind only the best rank found stays.
    std::array<int, slotCount> bestRank{};
    bestRank.fill(thermalZoneRank + 1);
    for (const Plan& plan : plans) {
        bestRank[plan.slot] = std::min(bestRank[plan.slot], plan.rank);
    }
    std::erase_if(plans, [&](const Plan& plan) { return plan.rank != bestRank[plan.slot]; });

    if (std::equal(plans.begin(), plans.end(), sources_.begin(), sources_.end(),
                   [](const Plan& plan, const Source& source) { return plan == source.plan; })) {
        return; // the same files: keep them open
    }
    sources_.clear();
    gates_.clear();
    sources_.reserve(plans.size());
    for (Plan& plan : plans) {
        Source& source = sources_.emplace_back(std::move(plan));
        if (source.plan.gate.empty()) {
            continue;
        }
        const auto known = std::find_if(gates_.begin(), gates_.end(), [&](const Gate& gate) {
            return gate.file.path() == source.plan.gate;
        });
        source.gate = static_cast<std::size_t>(known - gates_.begin());
        if (known == gates_.end()) {
            gates_.emplace_back(source.plan.gate);
        }
    }
}

// The runtime_status file of a device that may runtime-suspend: runtime PM enabled ("auto")
// and supported. Empty otherwise: such a device is never asked before its sensors are read.
std::string SensorsReader::runtimeGate(const std::string& device) {
    const auto control = discoveryFile_.read(device + "/power/control");
    if (!control || kerneltext::trimmed(*control) != "auto") {
        return {};
    }
    std::string status = device + "/power/runtime_status";
    const auto text = discoveryFile_.read(status);
    if (!text || kerneltext::trimmed(*text) == "unsupported") {
        return {};
    }
    return status;
}

bool SensorsReader::isSuspended(const std::string& gate) {
    if (gate.empty()) {
        return false;
    }
    const auto status = discoveryFile_.read(gate);
    return status && kerneltext::trimmed(*status) == "suspended";
}

void SensorsReader::discoverHwmon(std::vector<Plan>& plans) {
    const std::string classFolder = kerneltext::pathUnderRoot(root_, "/sys/class/hwmon");
    for (const auto& entry : kerneltext::entriesStartingWith(classFolder, "hwmon")) {
        const std::string folder = classFolder + "/" + entry;
        const auto nameText = discoveryFile_.read(folder + "/name");
        if (!nameText) {
            continue;
        }
        const std::string chip(kerneltext::trimmed(*nameText));
        std::string gate = runtimeGate(folder + "/device");
        // Not even its labels are read while it sleeps: it is looked at again next search.
        if (isSuspended(gate)) {
            continue;
        }
        for (const auto& file : kerneltext::entriesStartingWith(folder, "")) {
            const std::string base = folder + "/";
            if (const auto channel = channelOf(file, "temp"); !channel.empty()) {
                const auto labelText = discoveryFile_.read(base + std::string(channel) + "_label");
                const std::string label(labelText ? kerneltext::trimmed(*labelText) : "");
                const auto role = hwmonTemperatureRole(chip, label);
                if (!role) {
                    continue;
                }
                Plan plan{base + file, gate, slotOf(role->kind), role->rank};
                if (const auto text = discoveryFile_.read(plan.path);
                    !text || !parseMillidegrees(*text)) {
                    continue; // a channel that does not answer (yet) is left for the next search
                }
                const auto limit = [&](const char* suffix) {
                    const auto text = discoveryFile_.read(base + std::string(channel) + suffix);
                    return text ? parseTemperatureLimit(*text) : std::nullopt;
                };
                const Temperature limits =
                    temperatureWithLimits(0.0, limit("_max"), limit("_crit"));
                plan.high = limits.high;
                plan.critical = limits.critical;
                plans.push_back(std::move(plan));
            } else if (const auto fan = channelOf(file, "fan"); !fan.empty()) {
                // Boards list every fan header; an unlabelled one at 0 rpm has nothing on it
                // (or is a fan at rest, such as a GPU's below its start temperature).
                const bool labelled = kerneltext::pathExists(base + std::string(fan) + "_label");
                const auto text = discoveryFile_.read(base + file);
                const auto rpm = text ? parseFanRpm(*text) : std::nullopt;
                if (rpm && (*rpm > 0 || labelled)) {
                    Plan plan{base + file, gate, fanSlot, 0};
                    plan.labelled = labelled;
                    plans.push_back(std::move(plan));
                }
            }
        }
    }
}

void SensorsReader::discoverThermalZones(std::vector<Plan>& plans) {
    const std::string classFolder = kerneltext::pathUnderRoot(root_, "/sys/class/thermal");
    for (const auto& entry : kerneltext::entriesStartingWith(classFolder, "thermal_zone")) {
        const std::string folder = classFolder + "/" + entry;
        const auto type = discoveryFile_.read(folder + "/type");
        if (!type || !isCpuThermalZone(kerneltext::trimmed(*type))) {
            continue;
        }
        // Trip points are a cooling policy (where to throttle), not alarm limits: the
        // default limits apply.
        Plan plan{folder + "/temp", {}, slotOf(SensorKind::cpu), thermalZoneRank};
        if (const auto text = discoveryFile_.read(plan.path); text && parseMillidegrees(*text)) {
            plans.push_back(std::move(plan));
        }
    }
}

} // namespace trovimo
