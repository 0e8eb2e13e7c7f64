#include "readers/SystemReaders.h"

#include "readers/BatteryReader.h"
#include "readers/CPUStatsReader.h"
#include "readers/DiskActivityReader.h"
#include "readers/DiskStatsReader.h"
#include "readers/GPUStatsReader.h"
#include "readers/MemoryStatsReader.h"
#include "readers/NetworkInfoReader.h"
#include "readers/NetworkStatsReader.h"
#include "readers/SelfStatsReader.h"
#include "readers/SensorsReader.h"
#include "readers/TrashSizeReader.h"

namespace trovimo {

StatsReaders makeSystemReaders(const std::string& root) {
    StatsReaders readers;
    readers.cpu = std::make_unique<CPUStatsReader>(root);
    readers.gpu = std::make_unique<GPUStatsReader>(root);
    readers.memory = std::make_unique<MemoryStatsReader>(root);
    readers.network = std::make_unique<NetworkStatsReader>(root);
    readers.networkInfo = std::make_unique<NetworkInfoReader>(root);
    // statvfs and the trash belong to the running system; the root only relocates /proc
    // and /sys.
    readers.disk = std::make_unique<DiskStatsReader>();
    readers.trash = std::make_unique<TrashSizeReader>();
    readers.self = std::make_unique<SelfStatsReader>(root);
    // These three look for their files at their first read, so a hidden block costs nothing.
    readers.sensors = std::make_unique<SensorsReader>(root);
    readers.battery = std::make_unique<BatteryReader>(root);
    readers.diskActivity = std::make_unique<DiskActivityReader>(root);
    return readers;
}

} // namespace trovimo
