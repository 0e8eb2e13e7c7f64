#pragma once

#include "model/BatteryStatus.h"
#include "model/CPULoad.h"
#include "model/DiskActivity.h"
#include "model/DiskUsage.h"
#include "model/MemoryStats.h"
#include "model/NetworkInfo.h"
#include "model/NetworkSpeed.h"
#include "model/SensorReadings.h"

#include <optional>

namespace trovimo {

// The blocks' figures for another machine, from one body of its node exporter: the records the
// local readers make, each absent where the exporter does not provide it (a collector that is
// off, a machine without sensors) and on the first body for the rates. The GPU and the
// panel's own load are not the remote machine's to tell.
struct RemoteFigures {
    std::optional<CPULoad> cpu;
    std::optional<MemoryStats> memory;
    std::optional<NetworkSpeed> network;
    // The busiest interface that is up and not virtual: the exporter knows no routes, so the
    // primary interface is the one carrying the traffic. No Wi-Fi network or generation.
    std::optional<NetworkInfo> networkInfo;
    // /home where it is a mount of its own, else /. Nothing there is purgeable as far as the
    // exporter tells: `purgeable` is 0 and means "unknown" for a remote machine.
    std::optional<DiskUsage> disk;
    std::optional<SensorReadings> sensors;
    std::optional<BatteryStatus> battery;
    std::optional<DiskActivity> diskActivity;

    friend bool operator==(const RemoteFigures&, const RemoteFigures&) = default;
};

} // namespace trovimo
