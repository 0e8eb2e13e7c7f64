#include "remote/NodeMetrics.h"

#include "remote/Exposition.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace trovimo {
namespace {

// A non-negative whole count from a sample value (bytes, ticks); absent for NaN, infinities,
// negatives and what does not fit 64 bits.
std::optional<std::uint64_t> countOf(double value) noexcept {
    // 2^64 as a double; every double below it converts.
    constexpr double limit = 18446744073709551616.0;
    if (!(value >= 0.0 && value < limit)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(std::round(value));
}

// A value in the kernel's micro-units (µWh, µA...) from the exporter's base units, sign kept.
std::optional<std::int64_t> microUnitsOf(double value) noexcept {
    const double micro = std::round(value * 1e6);
    if (!(std::abs(micro) < 9.0e18)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(micro);
}

std::optional<double> finite(double value) noexcept {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::string_view labelOf(const ExpositionSample& sample, std::string_view name) noexcept {
    const ExpositionLabel* label = sample.label(name);
    return label != nullptr ? label->value : std::string_view();
}

template <typename T> void setOnce(std::optional<T>& target, std::optional<T> value) {
    if (!target) {
        target = value;
    }
}

// The entry named `name`, made when there is room; the search starts after the last entry
// found, as the exporter lists the same names in the same order in every family.
template <typename Entry, typename Key>
Entry* entryFor(std::vector<Entry>& entries, std::size_t& cursor, Key key,
                bool (*matches)(const Entry&, const Key&)) {
    const std::size_t count = entries.size();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t at = (cursor + step) % count;
        if (matches(entries[at], key)) {
            cursor = at + 1;
            return &entries[at];
        }
    }
    if (count >= maximumEntries) {
        return nullptr;
    }
    Entry& entry = entries.emplace_back();
    cursor = count + 1;
    return &entry;
}

using CoreColumns = NodeMetrics::CoreColumns;

// The /proc/stat column of each mode the exporter names.
std::optional<std::size_t> columnOfMode(std::string_view mode) noexcept {
    static constexpr std::array<std::string_view, 8> modes = {"user",   "nice", "system",  "idle",
                                                              "iowait", "irq",  "softirq", "steal"};
    const auto found = std::find(modes.begin(), modes.end(), mode);
    if (found == modes.end()) {
        return std::nullopt; // guest and guest_nice come as a metric of their own
    }
    return static_cast<std::size_t>(found - modes.begin());
}

struct MeminfoField {
    std::string_view name; // between node_memory_ and _bytes
    std::uint64_t MeminfoFigures::*member = nullptr;
    std::optional<std::uint64_t> MeminfoFigures::*optionalMember = nullptr;
};

constexpr std::array<MeminfoField, 13> meminfoFields{{
    {"MemTotal", &MeminfoFigures::memTotal, nullptr},
    {"MemFree", &MeminfoFigures::memFree, nullptr},
    {"MemAvailable", nullptr, &MeminfoFigures::memAvailable},
    {"Active", &MeminfoFigures::active, nullptr},
    {"Inactive", &MeminfoFigures::inactive, nullptr},
    // The exporter writes "Active(anon)" as Active_anon.
    {"Active_anon", &MeminfoFigures::activeAnon, nullptr},
    {"Inactive_anon", &MeminfoFigures::inactiveAnon, nullptr},
    {"Unevictable", &MeminfoFigures::unevictable, nullptr},
    {"KReclaimable", nullptr, &MeminfoFigures::kReclaimable},
    {"SReclaimable", &MeminfoFigures::sReclaimable, nullptr},
    {"Zswap", &MeminfoFigures::zswap, nullptr},
    {"SwapTotal", &MeminfoFigures::swapTotal, nullptr},
    {"SwapFree", &MeminfoFigures::swapFree, nullptr},
}};

// What one pass keeps besides the record itself.
struct Pass {
    NodeMetrics& metrics;
    MeminfoFigures memory;
    unsigned memorySeen = 0;
    std::size_t interfaceCursor = 0;
    std::size_t diskCursor = 0;
    std::size_t hwmonCursor = 0;
    std::size_t supplyCursor = 0;
};

void readCpu(Pass& pass, const ExpositionSample& sample) {
    const std::string_view cpuText = labelOf(sample, "cpu");
    const auto column = columnOfMode(labelOf(sample, "mode"));
    std::uint32_t cpu = 0;
    const auto [end, error] = std::from_chars(cpuText.data(), cpuText.data() + cpuText.size(), cpu);
    if (!column || cpuText.empty() || error != std::errc() ||
        end != cpuText.data() + cpuText.size() || cpu >= maximumCores) {
        return;
    }
    std::vector<CoreColumns>& cores = pass.metrics.coreColumns;
    std::vector<std::int32_t>& slots = pass.metrics.slotOfCpu;
    if (slots.size() <= cpu) {
        slots.resize(cpu + 1, -1);
    }
    if (slots[cpu] < 0) {
        slots[cpu] = static_cast<std::int32_t>(cores.size());
        cores.push_back(CoreColumns{cpu, {}, 0, false});
    }
    CoreColumns& core = cores[static_cast<std::size_t>(slots[cpu])];
    const unsigned bit = 1u << *column;
    if ((core.seen & bit) != 0) {
        return;
    }
    core.seen |= bit;
    // Hundredths of a second: the exporter's seconds are the kernel's ticks over USER_HZ.
    const auto ticks = countOf(sample.value * 100.0);
    core.bad = core.bad || !ticks;
    core.column[*column] = ticks.value_or(0);
}

void readMemory(Pass& pass, std::string_view field, double value) {
    for (std::size_t index = 0; index < meminfoFields.size(); ++index) {
        const MeminfoField& entry = meminfoFields[index];
        if (entry.name != field || (pass.memorySeen & (1u << index)) != 0) {
            continue;
        }
        pass.memorySeen |= 1u << index;
        const auto bytes = countOf(value);
        if (!bytes) {
            pass.memorySeen |= 1u << 31; // a figure that is none spoils the sample
        } else if (entry.member != nullptr) {
            pass.memory.*entry.member = *bytes;
        } else {
            pass.memory.*entry.optionalMember = *bytes;
        }
        return;
    }
}

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

void readSample(Pass& pass, const ExpositionSample& sample) {
    constexpr std::string_view prefix = "node_";
    if (!sample.name.starts_with(prefix)) {
        return;
    }
    NodeMetrics& metrics = pass.metrics;
    const std::string_view name = sample.name.substr(prefix.size());
    const auto after = [&](std::string_view family, std::string_view& rest) {
        if (!name.starts_with(family)) {
            return false;
        }
        rest = name.substr(family.size());
        return true;
    };
    std::string_view rest;
    if (name == "cpu_seconds_total") {
        readCpu(pass, sample);
    } else if (after("memory_", rest) && rest.ends_with("_bytes")) {
        readMemory(pass, rest.substr(0, rest.size() - 6), sample.value);
    } else if (name == "time_seconds") {
        setOnce(metrics.sampleTime, finite(sample.value));
    } else if (name == "boot_time_seconds") {
        setOnce(metrics.bootTime, finite(sample.value));
    } else if (name == "pressure_memory_waiting_seconds_total") {
        setOnce(metrics.memoryWaitingSeconds, finite(sample.value));
    } else if (name == "pressure_memory_stalled_seconds_total") {
        setOnce(metrics.memoryStalledSeconds, finite(sample.value));
    } else if (after("network_", rest)) {
        readNetwork(pass, rest, sample);
    } else if (after("filesystem_", rest)) {
        readFilesystem(pass, rest, sample);
    } else if (after("disk_", rest)) {
        readDisk(pass, rest, sample);
    } else if (after("hwmon_", rest)) {
        readHwmon(pass, rest, sample);
    } else if (name == "thermal_zone_temp") {
        if (const auto celsius = finite(sample.value);
            celsius && metrics.thermalZones.size() < maximumEntries) {
            metrics.thermalZones.push_back({labelOf(sample, "type"), *celsius});
        }
    } else if (after("power_supply_", rest)) {
        readPowerSupply(pass, rest, sample);
    }
}

} // namespace

void readNodeMetrics(std::string_view body, NodeMetrics& metrics) {
    auto keepRoom = [](auto& list) { list.clear(); };
    keepRoom(metrics.cores);
    keepRoom(metrics.interfaces);
    keepRoom(metrics.disks);
    keepRoom(metrics.hwmon);
    keepRoom(metrics.hwmonChips);
    keepRoom(metrics.thermalZones);
    keepRoom(metrics.powerSupplies);
    metrics.sampleTime.reset();
    metrics.bootTime.reset();
    metrics.memory.reset();
    metrics.memoryWaitingSeconds.reset();
    metrics.memoryStalledSeconds.reset();
    metrics.root.reset();
    metrics.home.reset();
    metrics.samples = 0;

    metrics.coreColumns.clear();
    Pass pass{metrics, {}, 0, 0, 0, 0, 0};
    std::optional<double> timestamp;
    ExpositionReader reader(body);
    while (const ExpositionSample* sample = reader.next()) {
        ++metrics.samples;
        if (!timestamp && sample->timestampMs) {
            timestamp = static_cast<double>(*sample->timestampMs) / 1000.0;
        }
        readSample(pass, *sample);
    }
    metrics.skippedLines = reader.skippedLines();
    if (!metrics.sampleTime) {
        metrics.sampleTime = timestamp;
    }

    // /proc/stat's first four columns, which every kernel prints; the others may be missing.
    constexpr unsigned required = 0b1111;
    for (const CoreColumns& core : metrics.coreColumns) {
        metrics.slotOfCpu[core.cpu] = -1; // the table is clean again for the next body
        if (!core.bad && (core.seen & required) == required) {
            metrics.cores.push_back({core.cpu, cpuTicksFromColumns(core.column)});
        }
    }
    // The exporter sorts the cores as text ("10" before "2").
    std::sort(metrics.cores.begin(), metrics.cores.end(),
              [](const auto& a, const auto& b) { return a.cpu < b.cpu; });

    const bool memoryWhole = (pass.memorySeen & (1u << 31)) == 0;
    if (memoryWhole && (pass.memorySeen & 1u) != 0 && pass.memory.memTotal != 0) {
        metrics.memory = pass.memory;
    }
}

} // namespace trovimo
