#pragma once

#include <optional>
#include <string>

namespace trovimo {

// Identity of the primary network interface.
struct NetworkInfo {
    std::string interfaceName; // kernel name, e.g. "wlp2s0"
    std::string displayName;   // human name of the link kind; the kernel name when none is known
    std::optional<std::string> ssid;
    std::optional<std::string> wifiGeneration; // "Wi-Fi 4", "Wi-Fi 5" or "Wi-Fi 6"

    // The line shown under the network section: generation (or display name), then
    // " · " and the network name when there is one.
    [[nodiscard]] std::string detailText() const;

    friend bool operator==(const NetworkInfo&, const NetworkInfo&) = default;
};

} // namespace trovimo
