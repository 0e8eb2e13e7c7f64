#include "remote/NodeBlocks.h"

#include "remote/NodeBatteryReader.h"
#include "remote/NodeDiskActivityReader.h"
#include "remote/NodeSensorsReader.h"

#include <algorithm>
#include <array>

namespace trovimo {
namespace {

struct CollectorRow {
    Block block;
    std::array<std::string_view, 2> collectors; // empty: none
};

constexpr std::array<CollectorRow, 7> collectorTable{{
    {Block::cpu, {"cpu"}},
    {Block::memory, {"meminfo", "pressure"}},
    // netclass says which interfaces are up and what kind of link they are.
    {Block::network, {"netdev", "netclass"}},
    {Block::disk, {"filesystem"}},
    {Block::sensors, {"hwmon", "thermal_zone"}},
    {Block::battery, {"powersupplyclass"}},
    // The file system's device names the disk under /home (or /).
    {Block::diskActivity, {"diskstats", "filesystem"}},
}};

} // namespace

std::vector<std::string_view> nodeCollectors(BlockSet shown) {
    std::vector<std::string_view> collectors{"time", "stat"};
    for (const CollectorRow& row : collectorTable) {
        if (!shown.contains(row.block)) {
            continue;
        }
        for (const std::string_view name : row.collectors) {
            if (!name.empty() &&
                std::find(collectors.begin(), collectors.end(), name) == collectors.end()) {
                collectors.push_back(name);
            }
        }
    }
    return collectors;
}

std::string withCollectors(std::string_view query,
                           const std::vector<std::string_view>& collectors) {
    std::string result(query);
    for (const std::string_view name : collectors) {
        if (!result.empty()) {
            result.push_back('&');
        }
        result.append("collect%5B%5D=");
        result.append(name);
    }
    return result;
}

std::vector<std::unique_ptr<NodeBlockReader>> makeNodeBlockReaders() {
    std::vector<std::unique_ptr<NodeBlockReader>> readers;
    readers.push_back(std::make_unique<NodeSensorsReader>());
    readers.push_back(std::make_unique<NodeBatteryReader>());
    readers.push_back(std::make_unique<NodeDiskActivityReader>());
    return readers;
}

} // namespace trovimo
