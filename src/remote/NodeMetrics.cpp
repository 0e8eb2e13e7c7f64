#include "remote/NodeMetrics.h"

#include "remote/Exposition.h"
#include "remote/NodeBlockReader.h"
#include "remote/NodeMetricsPass.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace trovimo {
namespace {

using namespace nodemetrics;

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
    std::vector<std::int32_t>& slotOf = pass.metrics.slotOfCpu;
    if (slotOf.size() <= cpu) {
        slotOf.resize(cpu + 1, -1);
    }
    if (slotOf[cpu] < 0) {
        slotOf[cpu] = static_cast<std::int32_t>(cores.size());
        cores.push_back(CoreColumns{cpu, {}, 0, false});
    }
    CoreColumns& core = cores[static_cast<std::size_t>(slotOf[cpu])];
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

void readSample(Pass& pass, std::span<NodeBlockReader* const> blocks,
                const ExpositionSample& sample) {
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
    } else {
        for (NodeBlockReader* block : blocks) {
            const std::span<const std::string_view> families = block->families();
            for (std::size_t family = 0; family < families.size(); ++family) {
                if (after(families[family], rest)) {
                    block->take(family, rest, sample);
                    return;
                }
            }
        }
    }
}

} // namespace

void readNodeMetrics(std::string_view body, NodeMetrics& metrics,
                     std::span<NodeBlockReader* const> blocks) {
    auto keepRoom = [](auto& list) { list.clear(); };
    keepRoom(metrics.cores);
    keepRoom(metrics.interfaces);
    metrics.sampleTime.reset();
    metrics.bootTime.reset();
    metrics.memory.reset();
    metrics.memoryWaitingSeconds.reset();
    metrics.memoryStalledSeconds.reset();
    metrics.root.reset();
    metrics.home.reset();
    metrics.samples = 0;

    metrics.coreColumns.clear();
    Pass pass{metrics, {}, 0, 0};
    for (NodeBlockReader* block : blocks) {
        block->begin();
    }
    std::optional<double> timestamp;
    ExpositionReader reader(body);
    while (const ExpositionSample* sample = reader.next()) {
        ++metrics.samples;
        if (!timestamp && sample->timestampMs) {
            timestamp = static_cast<double>(*sample->timestampMs) / 1000.0;
        }
        readSample(pass, blocks, *sample);
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
