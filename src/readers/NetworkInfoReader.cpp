#include "readers/NetworkInfoReader.h"

#include "readers/KernelText.h"
#include "readers/RouteQuery.h"

#include <net/if.h>

#include <array>
#include <utility>

namespace trovimo {

namespace {

using kerneltext::pathExists;

constexpr std::uint64_t arphrdEther = 1;
constexpr std::uint64_t arphrdPpp = 512;

// uevent's DEVTYPE, as NetworkManager names the link kinds in Japanese (Wi-Fi, VLAN, VPN and
// Bluetooth stay as they are there).
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> deviceTypeNames{{
    {"wlan", "Wi-Fi"},
    {"wwan", "モバイルブロードバンド"},
    {"bluetooth", "Bluetooth"},
    {"bridge", "ブリッジ"},
    {"bond", "ボンド"},
    {"vlan", "VLAN"},
    {"wireguard", "VPN"},
}};

std::string_view deviceType(std::string_view uevent) {
    constexpr std::string_view key = "DEVTYPE=";
    std::string_view line;
    while (kerneltext::nextLine(uevent, line)) {
        if (line.starts_with(key)) {
            return kerneltext::trimmed(line.substr(key.size()));
        }
    }
    return {};
}

std::optional<WifiDetails> queryWifiByName(const std::string& interface) {
    const unsigned index = ::if_nametoindex(interface.c_str());
    if (index == 0) {
        return std::nullopt;
    }
    return queryWifiLink(index);
}

} // namespace

std::optional<std::string> interfaceDisplayName(const std::string& root, const std::string& name) {
    if (name.size() >= IFNAMSIZ || !kerneltext::isSafeFileName(name)) {
        return std::nullopt;
    }
    const std::string folder = kerneltext::pathUnderRoot(root, "sys/class/net/" + name);
    if (!pathExists(folder)) {
        return std::nullopt;
    }
    WholeFileReader file(256);
    if (pathExists(folder + "/phy80211")) {
        return "Wi-Fi";
    }
    if (const auto uevent = file.read(folder + "/uevent")) {
        const std::string_view type = deviceType(*uevent);
        for (const auto& [devtype, display] : deviceTypeNames) {
            if (type == devtype) {
                return std::string(display);
            }
        }
    }
    if (pathExists(folder + "/bridge")) {
        return "ブリッジ";
    }
    if (pathExists(folder + "/bonding")) {
        return "ボンド";
    }
    if (pathExists(folder + "/tun_flags")) {
        return "VPN"; // tun/tap: OpenVPN, OpenConnect and the like
    }
    std::uint64_t linkType = 0;
    if (const auto text = file.read(folder + "/type")) {
        linkType = kerneltext::parseSysfsUnsigned(*text).value_or(0);
    }
    if (linkType == arphrdPpp) {
        return "VPN";
    }
    // veth, ifb and dummy are type 1 too, but only real hardware has a device behind it.
    if (linkType == arphrdEther && pathExists(folder + "/device")) {
        return "イーサネット";
    }
    return std::nullopt;
}

NetworkInfoReader::NetworkInfoReader(std::string root)
    : NetworkInfoReader(root,
                        // A captured tree has no kernel behind it to ask for a route.
                        root.find_first_not_of('/') == std::string::npos ? RouteSource::kernel
                                                                         : RouteSource::routeTable,
                        queryWifiByName, {}) {}

NetworkInfoReader::NetworkInfoReader(std::string root, RouteSource routeSource,
                                     WifiLookup wifiLookup, Clock clock)
    : root_(std::move(root)), routeTablePath_(kerneltext::pathUnderRoot(root_, "proc/net/route")),
      routeSource_(routeSource), wifiLookup_(std::move(wifiLookup)), clock_(std::move(clock)) {
    if (routeSource_ == RouteSource::kernel) {
        routeQuery_ = RouteQuery::open();
    }
    if (!clock_) {
        clock_ = [] { return BoottimeClock::now(); };
    }
}

NetworkInfoReader::~NetworkInfoReader() = default;

std::optional<NetworkInfoReader::Primary> NetworkInfoReader::primaryInterface() {
    if (routeQuery_) {
        if (const auto index = routeQuery_->defaultRouteInterface()) {
            return Primary{*index, {}};
        }
    }
    const auto table = routeFile_.read(routeTablePath_);
    if (!table) {
        return std::nullopt;
    }
    if (const auto name = parseDefaultRoute(*table)) {
        return Primary{0, *name};
    }
    return std::nullopt;
}

std::optional<NetworkInfo> NetworkInfoReader::read() {
    if (routeSource_ == RouteSource::kernel && !routeQuery_) {
        cached_.reset();
        return std::nullopt;
    }
    const auto primary = primaryInterface();
    if (!primary) {
        cached_.reset(); // its return rebuilds at once
        return std::nullopt;
    }
    const auto now = clock_();
    const bool samePrimary =
        cached_ && (primary->index != 0 ? primary->index == cachedIndex_
                                        : primary->name == cached_->interfaceName);
    if (samePrimary && now < lastRefresh_ + cacheLifetime) {
        return cached_;
    }

    std::string name;
    if (primary->index != 0) {
        std::array<char, IF_NAMESIZE> buffer{};
        if (::if_indextoname(primary->index, buffer.data()) == nullptr) {
            cached_.reset(); // the interface went away between the two questions
            return std::nullopt;
        }
        name = buffer.data();
    } else {
        name = primary->name;
    }
    lastRefresh_ = now;
    cached_ = rebuild(name);
    cachedIndex_ = primary->index;
    return cached_;
}

NetworkInfo NetworkInfoReader::rebuild(const std::string& name) const {
    NetworkInfo info;
    info.interfaceName = name;
    const auto displayName = interfaceDisplayName(root_, name);
    info.displayName = displayName.value_or(name);
    if (displayName == "Wi-Fi" && wifiLookup_) {
        if (const auto wifi = wifiLookup_(name)) {
            info.ssid = wifi->ssid;
            info.wifiGeneration = wifiGenerationText(wifi->generation);
        }
    }
    return info;
}

} // namespace trovimo
