#pragma once

#include "model/BatteryStatus.h"
#include "model/CPULoad.h"
#include "model/DiskActivitySource.h"
#include "model/DiskUsage.h"
#include "model/MemoryStats.h"
#include "model/NetworkInfo.h"
#include "model/SampleSource.h"
#include "model/SelfStats.h"
#include "model/SensorReadings.h"
#include "model/ThroughputSource.h"
#include "model/TrashSource.h"

#include <memory>

namespace trovimo {

// One reader of each kind, owned by the statistics store. A missing reader samples nothing.
struct StatsReaders {
    std::unique_ptr<SampleSource<CPULoad>> cpu;
    std::unique_ptr<SampleSource<double>> gpu;
    std::unique_ptr<SampleSource<MemoryStats>> memory;
    std::unique_ptr<ThroughputSource> network;
    std::unique_ptr<SampleSource<NetworkInfo>> networkInfo;
    std::unique_ptr<SampleSource<DiskUsage>> disk;
    std::unique_ptr<TrashSource> trash; // the purgeable share of the disk sample
    std::unique_ptr<SampleSource<SelfStats>> self;
    std::unique_ptr<SampleSource<SensorReadings>> sensors;
    std::unique_ptr<SampleSource<BatteryStatus>> battery;
    std::unique_ptr<DiskActivitySource> diskActivity;
};

} // namespace trovimo
