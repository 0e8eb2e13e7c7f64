#pragma once

#include "model/BatteryStatus.h"
#include "model/CPULoad.h"
#include "model/DiskActivity.h"
#include "model/DiskUsage.h"
#include "model/MemoryStats.h"
#include "model/NetworkInfo.h"
#include "model/NetworkSpeed.h"
#include "model/SelfStats.h"
#include "model/SensorReadings.h"

#include <QString>

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

} // namespace trovimo
