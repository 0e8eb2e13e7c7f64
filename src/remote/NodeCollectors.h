#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// The blocks a remote panel shows, as far as the exporter is asked for them.
struct RemoteBlocks {
    bool cpu = true;
    bool memory = true;
    bool network = true;
    bool disk = true;
    bool sensors = false;
    bool battery = false;
    bool diskActivity = false;

    friend bool operator==(const RemoteBlocks&, const RemoteBlocks&) = default;
};

// The node exporter collectors the shown blocks need, each once, in a fixed order: "time" and
// "stat" always (the exporter's clock for the rates, the boot time that tells a reboot).
[[nodiscard]] std::vector<std::string_view> nodeCollectors(const RemoteBlocks& blocks);

// `query` (the URL's own query, possibly empty) with one collect[] parameter per collector
// appended, so that the exporter runs only those.
[[nodiscard]] std::string withCollectors(std::string_view query,
                                         const std::vector<std::string_view>& collectors);

} // namespace trovimo
