#include "remote/NodeCollectors.h"

#include <algorithm>

namespace trovimo {

std::vector<std::string_view> nodeCollectors(const RemoteBlocks& blocks) {
    std::vector<std::string_view> collectors{"time", "stat"};
    const auto add = [&](bool shown, std::initializer_list<std::string_view> names) {
        for (const std::string_view name : names) {
            if (shown &&
                std::find(collectors.begin(), collectors.end(), name) == collectors.end()) {
                collectors.push_back(name);
            }
        }
    };
    add(blocks.cpu, {"cpu"});
    add(blocks.memory, {"meminfo", "pressure"});
    // netclass says which interfaces are up and what kind of link they are.
    add(blocks.network, {"netdev", "netclass"});
    add(blocks.disk, {"filesystem"});
    add(blocks.sensors, {"hwmon", "thermal_zone"});
    add(blocks.battery, {"powersupplyclass"});
    // The file system's device names the disk under /home (or /).
    add(blocks.diskActivity, {"diskstats", "filesystem"});
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

} // namespace trovimo
