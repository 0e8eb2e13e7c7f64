#pragma once

#include "core/BoottimeClock.h"
#include "model/NetworkInfo.h"
#include "model/SampleSource.h"
#include "readers/WholeFileReader.h"
#include "readers/WifiLink.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace trovimo {

class RouteQuery;

// The kind of a network interface in the words of NetworkManager's Japanese catalogue
// ("Wi-Fi", "イーサネット", "ブリッジ", "ボンド", "VLAN", "VPN", "Bluetooth",
// "モバイルブロードバンド"), from /sys/class/net/<name>. Absent
// for anything else (loopback, veth, ifb...), and for a name that could leave that folder.
[[nodiscard]] std::optional<std::string> interfaceDisplayName(const std::string& root,
                                                              const std::string& name);

// Which interface carries the traffic, its display name and, on Wi-Fi, the network and Wi-Fi
// generation. The primary interface is asked for on every read (the throughput reader counts
// its bytes); the slower lookups are cached for 30 s of boot time per interface.
class NetworkInfoReader final : public SampleSource<NetworkInfo> {
public:
    using Clock = std::function<BoottimeClock::time_point()>;
    using WifiLookup = std::function<std::optional<WifiDetails>(const std::string& interface)>;

    // Where the primary interface comes from: the kernel's route lookup over rtnetlink, with
    // /proc/net/route as the fallback, or (for captured trees) /proc/net/route alone.
    enum class RouteSource { kernel, routeTable };

    // This machine: rtnetlink opened now (the route table alone when `root` is not "/"),
    // nl80211 for Wi-Fi, the boot-time clock.
    explicit NetworkInfoReader(std::string root = "/");
    NetworkInfoReader(std::string root, RouteSource routeSource, WifiLookup wifiLookup,
                      Clock clock);
    ~NetworkInfoReader() override;

    [[nodiscard]] std::optional<NetworkInfo> read() override;

    static constexpr std::chrono::seconds cacheLifetime{30};

private:
    // The primary interface: an index from the kernel, or a name from the route table.
    struct Primary {
        std::uint32_t index = 0;
        std::string_view name; // into routeFile_'s buffer when index is 0
    };
    [[nodiscard]] std::optional<Primary> primaryInterface();
    [[nodiscard]] NetworkInfo rebuild(const std::string& name) const;

    std::string root_;
    std::string routeTablePath_;
    RouteSource routeSource_;
    std::unique_ptr<RouteQuery> routeQuery_; // the kernel connection; absent if opening failed
    WifiLookup wifiLookup_;
    Clock clock_;
    WholeFileReader routeFile_;

    std::optional<NetworkInfo> cached_;
    std::uint32_t cachedIndex_ = 0; // the kernel's index of cached_->interfaceName; 0 when unknown
    BoottimeClock::time_point lastRefresh_ = BoottimeClock::time_point::min();
};

} // namespace trovimo
