#pragma once

#include "model/BatteryStatus.h"
#include "model/Blocks.h"
#include "model/CPULoad.h"
#include "model/DiskActivity.h"
#include "model/DiskUsage.h"
#include "model/MemoryStats.h"
#include "model/NetworkInfo.h"
#include "model/NetworkSpeed.h"
#include "model/SelfStats.h"
#include "model/SensorReadings.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace trovimo {

// The latest figure of each block, as a source hands them over: absent while the block is
// hidden, before its first sample, and where the source could not get it.
struct Figures {
    std::optional<CPULoad> cpu;
    std::optional<double> gpu; // utilisation, 0..1
    std::optional<MemoryStats> memory;
    std::optional<NetworkSpeed> network;
    std::optional<NetworkInfo> networkInfo;
    std::optional<DiskUsage> disk;
    std::optional<SensorReadings> sensors;
    std::optional<BatteryStatus> battery;
    std::optional<DiskActivity> diskActivity;
    std::optional<SelfStats> selfStats;

    friend bool operator==(const Figures&, const Figures&) = default;
};

// How the figures' source stands, for the panel to say.
enum class SourceState : std::uint8_t {
    local,       // this machine's own files, always at hand
    connecting,  // asked, no answer yet
    fresh,       // the last answer came in time
    unreachable, // the last request failed: the figures are absent until one succeeds
};

// What the statistics store publishes after a tick, and again when a figure read off the GUI
// thread lands: one record that no one changes once published. The panel, the accessibility
// interface and trovimo-sample all read it.
struct StatsSnapshot : Figures {
    // The last minute of each graph, oldest first (History.h). A hidden block adds nothing;
    // the temperature's and the disk activity's histories are emptied while theirs is hidden.
    std::vector<double> cpuHistory; // cpu.total
    std::vector<double> gpuHistory;
    std::vector<double> downloadHistory; // bytes per second
    std::vector<double> uploadHistory;
    std::vector<double> cpuTemperatureHistory; // sensors.cpu, °C
    std::vector<double> diskReadHistory;       // bytes per second
    std::vector<double> diskWriteHistory;

    QString sourceName;
    SourceState sourceState = SourceState::local;
};

// The histories' row of the block table: the figure each one takes from every answer to a
// tick. A history whose block is hidden takes nothing; an optional block's is emptied then, so
// that it starts afresh when shown again.
struct HistoryRow {
    Block block;
    std::vector<double> StatsSnapshot::*values;
    std::optional<double> (*point)(const Figures& figures);
    bool emptiedWhileHidden = false;
};

inline constexpr std::array<HistoryRow, 7> historyTable{{
    {Block::cpu, &StatsSnapshot::cpuHistory,
     [](const Figures& f) { return f.cpu ? std::optional(f.cpu->total) : std::nullopt; }},
    {Block::gpu, &StatsSnapshot::gpuHistory, [](const Figures& f) { return f.gpu; }},
    {Block::network, &StatsSnapshot::downloadHistory,
     [](const Figures& f) {
         return f.network ? std::optional(f.network->download) : std::nullopt;
     }},
    {Block::network, &StatsSnapshot::uploadHistory,
     [](const Figures& f) { return f.network ? std::optional(f.network->upload) : std::nullopt; }},
    {Block::sensors, &StatsSnapshot::cpuTemperatureHistory,
     [](const Figures& f) {
         return f.sensors && f.sensors->cpu ? std::optional(f.sensors->cpu->celsius) : std::nullopt;
     },
     true},
    {Block::diskActivity, &StatsSnapshot::diskReadHistory,
     [](const Figures& f) {
         return f.diskActivity ? std::optional(f.diskActivity->readBytesPerSecond) : std::nullopt;
     },
     true},
    {Block::diskActivity, &StatsSnapshot::diskWriteHistory,
     [](const Figures& f) {
         return f.diskActivity ? std::optional(f.diskActivity->writeBytesPerSecond) : std::nullopt;
     },
     true},
}};

} // namespace trovimo
