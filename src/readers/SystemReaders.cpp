#include "readers/SystemReaders.h"

#include "model/DiskActivitySampler.h"
#include "model/DiskSampler.h"
#include "model/NetworkSampler.h"
#include "model/ReaderSampler.h"
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

std::unique_ptr<LocalSource> makeLocalSource(const std::string& root, BlockSampler::Clock clock) {
    std::vector<std::unique_ptr<BlockSampler>> samplers;
    samplers.push_back(
        readEveryTick(Block::cpu, &Figures::cpu, std::make_unique<CPUStatsReader>(root)));
    samplers.push_back(
        readEveryTick(Block::gpu, &Figures::gpu, std::make_unique<GPUStatsReader>(root)));
    samplers.push_back(
        readEveryTick(Block::memory, &Figures::memory, std::make_unique<MemoryStatsReader>(root)));
    samplers.push_back(std::make_unique<NetworkSampler>(std::make_unique<NetworkInfoReader>(root),
                                                        std::make_unique<NetworkStatsReader>(root),
                                                        clock));
    // statvfs and the trash belong to the running system; the root only relocates /proc
    // and /sys.
    samplers.push_back(std::make_unique<DiskSampler>(std::make_unique<DiskStatsReader>(),
                                                     std::make_unique<TrashSizeReader>(), clock));
    // These three look for their files at their first read, so a hidden block costs nothing.
    samplers.push_back(
        readEveryTick(Block::sensors, &Figures::sensors, std::make_unique<SensorsReader>(root)));
    samplers.push_back(
        readEveryTick(Block::battery, &Figures::battery, std::make_unique<BatteryReader>(root)));
    samplers.push_back(
        std::make_unique<DiskActivitySampler>(std::make_unique<DiskActivityReader>(root), clock));
    for (auto& sampler : makePanelSamplers(root)) {
        samplers.push_back(std::move(sampler));
    }
    return std::make_unique<LocalSource>(std::move(samplers));
}

std::vector<std::unique_ptr<BlockSampler>> makePanelSamplers(const std::string& root) {
    std::vector<std::unique_ptr<BlockSampler>> samplers;
    samplers.push_back(
        readEveryTick(Block::self, &Figures::selfStats, std::make_unique<SelfStatsReader>(root)));
    return samplers;
}

} // namespace trovimo
