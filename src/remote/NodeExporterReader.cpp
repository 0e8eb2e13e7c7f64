#include "remote/NodeExporterReader.h"

#include "readers/Counters.h"
#include "readers/DiskStatsReader.h"
#include "readers/MemoryStatsReader.h"
#include "remote/NodeBlocks.h"
#include "remote/NodeMetricsPass.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trovimo {
namespace {

using nodemetrics::findNamed;
using nodemetrics::isPlausibleName;

// <linux/if_arp.h>: the link types that carry a machine's own traffic.
constexpr std::uint32_t arphrdEther = 1; // Ethernet and Wi-Fi alike
constexpr std::uint32_t arphrdPpp = 512;
constexpr std::uint32_t arphrdRawIp = 519; // mobile broadband modems

// Software interfaces by the names their tools give them: containers' and VMs' links and
// bridges, tunnels and VPNs, the loopback. Their traffic is the machine's own traffic again
// (a bridge over the Ethernet port) or not the machine's at all (a container's).
constexpr std::array<std::string_view, 24> virtualPrefixes = {
    "lo",    "veth",  "docker", "br",     "virbr",     "vmbr", "vnet",   "vboxnet",
    "vmnet", "tun",   "tap",    "wg",     "tailscale", "zt",   "cni",    "flannel",
    "cali",  "vxlan", "kube",   "cilium", "lxc",       "lxd",  "podman", "ifb"};

// Another interface is shown instead only once it carried more than twice as much, so that
// two links of about the same traffic do not take turns.
constexpr double switchFactor = 2.0;
constexpr std::uint64_t switchMargin = 4096;

bool carriesOwnTraffic(const NodeMetrics::Interface& entry) noexcept {
    if (!isPlausibleName(entry.name, 15) || !entry.rxBytes || !entry.txBytes ||
        entry.up == std::optional<bool>(false)) {
        return false;
    }
    if (std::any_of(virtualPrefixes.begin(), virtualPrefixes.end(),
                    [&](std::string_view prefix) { return entry.name.starts_with(prefix); })) {
        return false;
    }
    if (entry.linkType && *entry.linkType != arphrdEther && *entry.linkType != arphrdPpp &&
        *entry.linkType != arphrdRawIp) {
        return false;
    }
    // A veth, VLAN or macvlan interface is linked to another one; a device of its own is not.
    return !(entry.index && entry.link && *entry.index != *entry.link);
}

// The kind of link, guessed from the predictable names (the exporter tells no more), as the
// local panel names them; the kernel name where it tells nothing.
std::string displayNameOf(const NodeMetrics::Interface& entry) {
    const std::string_view name = entry.name;
    if (entry.linkType == arphrdPpp) {
        return "VPN";
    }
    if (name.starts_with("wl")) {
        return "Wi-Fi";
    }
    if (name.starts_with("ww")) {
        return "モバイルブロードバンド";
    }
    if (name.starts_with("en") || name.starts_with("eth")) {
        return "イーサネット";
    }
    return std::string(name);
}

} // namespace

NodeExporterReader::NodeExporterReader() : blockReaders_(makeNodeBlockReaders()) {}

NodeExporterReader::~NodeExporterReader() = default;

Figures NodeExporterReader::read(std::string_view body, TimePoint receivedAt, BlockSet shown) {
    shownReaders_.clear();
    for (const auto& reader : blockReaders_) {
        if (shown.contains(reader->block())) {
            shownReaders_.push_back(reader.get());
        } else {
            reader->forget(); // shown again, its rates start afresh
        }
    }
    readNodeMetrics(body, metrics_, shownReaders_);
    if (previous_ && previous_->bootTime && metrics_.bootTime &&
        std::abs(*previous_->bootTime - *metrics_.bootTime) > 1.0) {
        previous_.reset();
        someAverage_.reset();
        fullAverage_.reset();
        for (const auto& reader : blockReaders_) {
            reader->forget();
        }
    }
    const std::optional<double> elapsed =
        previous_ ? elapsedSince(*previous_, receivedAt) : std::nullopt;
    Figures figures;
    if (shown.contains(Block::cpu) && previous_) {
        figures.cpu = cpuLoadBetween(previous_->cores, metrics_.cores);
    }
    if (shown.contains(Block::memory)) {
        const auto state = pressure(elapsed);
        if (metrics_.memory) {
            // zram and the ZFS ARC are not exported: compressed is zswap's pool alone.
            figures.memory = memoryStatsFrom(*metrics_.memory, 0, std::nullopt, state);
        }
    }
    if (shown.contains(Block::network)) {
        network(figures, elapsed);
    }
    if (shown.contains(Block::disk)) {
        figures.disk = disk();
    }
    const NodeBody whole{metrics_, elapsed};
    for (NodeBlockReader* reader : shownReaders_) {
        reader->write(whole, figures);
    }
    remember(receivedAt);
    return figures;
}

std::optional<double> NodeExporterReader::elapsedSince(const Previous& previous,
                                                       TimePoint receivedAt) const {
    const double received = std::chrono::duration<double>(receivedAt - previous.receivedAt).count();
    if (previous.sampleTime && metrics_.sampleTime) {
        const double exporter = *metrics_.sampleTime - *previous.sampleTime;
        if (exporter > 0.0 && exporter >= received / 2.0 && exporter <= received * 2.0) {
            return exporter;
        }
    }
    return received;
}

std::optional<MemoryPressure> NodeExporterReader::pressure(std::optional<double> elapsed) {
    if (!metrics_.memoryWaitingSeconds) {
        someAverage_.reset(); // the kernel has no pressure figures (or the collector is off)
        fullAverage_.reset();
        return std::nullopt;
    }
    if (previous_ && previous_->memoryWaiting && elapsed && *elapsed > 0.0) {
        // The exporter hands over the stall times since boot, not the kernel's averages: the
        // same ten-second exponential average is taken here over the stall share of each
        // interval. A kernel that writes no "full" line stalls nobody fully.
        const auto share = [&](std::optional<double> before, std::optional<double> now) {
            if (!before || !now) {
                return 0.0;
            }
            return std::clamp((*now - *before) / *elapsed * 100.0, 0.0, 100.0);
        };
        const double keep = std::exp(-*elapsed / pressureWindowSeconds);
        const auto average = [&](std::optional<double>& value, double latest) {
            value = value ? *value * keep + latest * (1.0 - keep) : latest;
        };
        average(someAverage_, share(previous_->memoryWaiting, metrics_.memoryWaitingSeconds));
        average(fullAverage_, share(previous_->memoryStalled, metrics_.memoryStalledSeconds));
    }
    if (!someAverage_) {
        return std::nullopt;
    }
    return memoryPressureFromAverages(*someAverage_, fullAverage_.value_or(0.0));
}

void NodeExporterReader::network(Figures& figures, std::optional<double> elapsed) {
    const auto before = [&](std::string_view name) -> const Counters* {
        return previous_ ? findNamed(previous_->interfaces, name) : nullptr;
    };
    const auto moved = [&](const NodeMetrics::Interface& entry) -> std::optional<std::uint64_t> {
        const Counters* counters = before(entry.name);
        if (counters == nullptr) {
            return std::nullopt;
        }
        return saturatingAdd(counterDelta(counters->rx, *entry.rxBytes),
                             counterDelta(counters->tx, *entry.txBytes));
    };
    const NodeMetrics::Interface* current = nullptr;
    const NodeMetrics::Interface* busiest = nullptr;
    std::uint64_t busiestAmount = 0;
    for (const NodeMetrics::Interface& entry : metrics_.interfaces) {
        if (!carriesOwnTraffic(entry)) {
            continue;
        }
        if (entry.name == interface_) {
            current = &entry;
        }
        // Without a body before, the most bytes since boot; then the most in the interval.
        const std::uint64_t amount =
            elapsed ? moved(entry).value_or(0) : saturatingAdd(*entry.rxBytes, *entry.txBytes);
        if (busiest == nullptr || amount > busiestAmount) {
            busiest = &entry;
            busiestAmount = amount;
        }
    }
    if (busiest == nullptr) {
        return;
    }
    const NodeMetrics::Interface* shown = current;
    if (shown == nullptr ||
        (elapsed && static_cast<double>(busiestAmount) >
                        switchFactor * static_cast<double>(moved(*shown).value_or(0)) +
                            static_cast<double>(switchMargin))) {
        shown = busiest;
    }
    interface_.assign(shown->name);
    figures.networkInfo =
        NetworkInfo{interface_, displayNameOf(*shown), std::nullopt, std::nullopt};
    if (const Counters* counters = before(shown->name); counters != nullptr && elapsed) {
        figures.network = NetworkSpeed{counterRate(counters->rx, *shown->rxBytes, *elapsed),
                                       counterRate(counters->tx, *shown->txBytes, *elapsed)};
    }
}

std::optional<DiskUsage> NodeExporterReader::disk() const {
    const auto& filesystem = metrics_.homeVolume();
    if (!filesystem || filesystem->deviceError || !filesystem->size || !filesystem->free ||
        !filesystem->available) {
        return std::nullopt;
    }
    // The exporter's sizes are statvfs's block counts times the block size: in bytes, so the
    // unit is 1.
    return diskUsageFrom({*filesystem->size, *filesystem->free, *filesystem->available, 1, 1});
}

void NodeExporterReader::remember(TimePoint receivedAt) {
    if (!previous_) {
        previous_.emplace();
    }
    Previous& previous = *previous_;
    previous.receivedAt = receivedAt;
    previous.sampleTime = metrics_.sampleTime;
    previous.bootTime = metrics_.bootTime;
    previous.cores.assign(metrics_.cores.begin(), metrics_.cores.end());
    previous.memoryWaiting = metrics_.memoryWaitingSeconds;
    previous.memoryStalled = metrics_.memoryStalledSeconds;
    // The strings keep their room from body to body as long as the lists keep their length.
    const auto keep = [](std::vector<Counters>& list, std::size_t count) { list.resize(count); };
    keep(previous.interfaces, metrics_.interfaces.size());
    std::size_t at = 0;
    for (const NodeMetrics::Interface& entry : metrics_.interfaces) {
        if (entry.rxBytes && entry.txBytes) {
            previous.interfaces[at++] = {std::string(entry.name), *entry.rxBytes, *entry.txBytes};
        }
    }
    previous.interfaces.resize(at);
}

} // namespace trovimo
