#include "remote/NodeExporterReader.h"

#include "readers/Counters.h"
#include "readers/DiskStatsReader.h"
#include "readers/MemoryStatsReader.h"
#include "readers/SensorsReader.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace trovimo {
namespace {

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

// A name as the kernel allows it and the panel can show: printable, no path or quote.
bool isPlausibleName(std::string_view name, std::size_t longest) noexcept {
    return !name.empty() && name.size() <= longest &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return c > ' ' && c < 0x7f && c != '/' && c != '\\' && c != '"';
           });
}

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
        return "Mobile Broadband";
    }
    if (name.starts_with("en") || name.starts_with("eth")) {
        return "Ethernet";
    }
    return std::string(name);
}

template <typename Entries>
auto findNamed(Entries& entries, std::string_view name) -> decltype(&entries.front()) {
    for (auto& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// "nvme0n1p2" -> "nvme0n1", "mmcblk0p1" -> "mmcblk0", "sda3" -> "sda": the exporter counts
// whole disks only.
std::string_view diskOfPartition(std::string_view name) noexcept {
    std::size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') {
        --end;
    }
    if (end == name.size() || end == 0) {
        return name;
    }
    if (name[end - 1] == 'p' && end >= 2 && name[end - 2] >= '0' && name[end - 2] <= '9') {
        --end;
    }
    return name.substr(0, end);
}

} // namespace

RemoteFigures NodeExporterReader::read(std::string_view body, TimePoint receivedAt,
                                       const RemoteBlocks& shown) {
    readNodeMetrics(body, metrics_);
    if (previous_ && previous_->bootTime && metrics_.bootTime &&
        std::abs(*previous_->bootTime - *metrics_.bootTime) > 1.0) {
        previous_.reset();
        someAverage_.reset();
        fullAverage_.reset();
    }
    const std::optional<double> elapsed =
        previous_ ? elapsedSince(*previous_, receivedAt) : std::nullopt;
    RemoteFigures figures;
    if (shown.cpu && previous_) {
        figures.cpu = cpuLoadBetween(previous_->cores, metrics_.cores);
    }
    if (shown.memory) {
        const auto state = pressure(elapsed);
        if (metrics_.memory) {
            // zram and the ZFS ARC are not exported: compressed is zswap's pool alone.
            figures.memory = memoryStatsFrom(*metrics_.memory, 0, std::nullopt, state);
        }
    }
    if (shown.network) {
        network(figures, elapsed);
    }
    if (shown.disk) {
        figures.disk = disk();
    }
    if (shown.diskActivity) {
        figures.diskActivity = diskActivity(elapsed);
    }
    if (shown.sensors) {
        figures.sensors = sensors();
    }
    if (shown.battery) {
        figures.battery = battery();
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

void NodeExporterReader::network(RemoteFigures& figures, std::optional<double> elapsed) {
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
    const auto& filesystem = metrics_.home ? metrics_.home : metrics_.root;
    if (!filesystem || filesystem->deviceError || !filesystem->size || !filesystem->free ||
        !filesystem->available) {
        return std::nullopt;
    }
    // The exporter's sizes are statvfs's block counts times the block size: in bytes, so the
    // unit is 1.
    return diskUsageFrom({*filesystem->size, *filesystem->free, *filesystem->available, 1, 1});
}

std::optional<DiskActivity> NodeExporterReader::diskActivity(std::optional<double> elapsed) const {
    const auto& filesystem = metrics_.home ? metrics_.home : metrics_.root;
    if (!filesystem || !elapsed || !previous_) {
        return std::nullopt;
    }
    std::string_view device = filesystem->device;
    if (!device.starts_with("/dev/")) {
        return std::nullopt; // ZFS, a network or an overlay file system: no disk of its own
    }
    device.remove_prefix(5);
    const NodeMetrics::Disk* disk = nullptr;
    std::string_view shownName;
    if (device.starts_with("mapper/")) {
        const std::string_view mapped = device.substr(7);
        for (const NodeMetrics::Disk& each : metrics_.disks) {
            if (!mapped.empty() && each.mapperName == mapped) {
                disk = &each;
                shownName = mapped; // LUKS and LVM volumes by the name their tools give
            }
        }
    } else {
        disk = findNamed(metrics_.disks, device);
        if (disk == nullptr) {
            disk = findNamed(metrics_.disks, diskOfPartition(device));
        }
        shownName = disk != nullptr ? disk->name : std::string_view();
    }
    if (disk == nullptr || !disk->readBytes || !disk->writtenBytes ||
        !isPlausibleName(shownName, 128)) {
        return std::nullopt;
    }
    const Counters* counters = findNamed(previous_->disks, disk->name);
    if (counters == nullptr || !(*elapsed > 0.0)) {
        return std::nullopt;
    }
    return DiskActivity{counterRate(counters->rx, *disk->readBytes, *elapsed),
                        counterRate(counters->tx, *disk->writtenBytes, *elapsed),
                        std::string(shownName)};
}

std::optional<SensorReadings> NodeExporterReader::sensors() const {
    SensorPick pick;
    for (const NodeMetrics::HwmonChannel& channel : metrics_.hwmon) {
        if (!channel.value) {
            continue;
        }
        if (channel.sensor.starts_with("fan")) {
            if (const auto rpm = plausibleFanRpm(*channel.value)) {
                pick.addFan(*rpm, channel.labelled);
            }
            continue;
        }
        if (!channel.sensor.starts_with("temp")) {
            continue;
        }
        std::string_view chipName;
        for (const NodeMetrics::HwmonChip& chip : metrics_.hwmonChips) {
            if (chip.chip == channel.chip) {
                chipName = chip.name;
                break;
            }
        }
        const auto role = hwmonTemperatureRole(chipName, channel.label);
        const auto celsius = plausibleCelsius(*channel.value);
        if (role && celsius) {
            const auto limit = [](std::optional<double> value) {
                return value ? plausibleTemperatureLimit(*value) : std::nullopt;
            };
            pick.addTemperature(*role, temperatureWithLimits(*celsius, limit(channel.max),
                                                             limit(channel.critical)));
        }
    }
    for (const NodeMetrics::ThermalZone& zone : metrics_.thermalZones) {
        if (const auto celsius = plausibleCelsius(zone.celsius);
            celsius && isCpuThermalZone(zone.type)) {
            pick.addTemperature({SensorKind::cpu, thermalZoneRank},
                                temperatureWithLimits(*celsius, std::nullopt, std::nullopt));
        }
    }
    return pick.readings();
}

std::optional<BatteryStatus> NodeExporterReader::battery() const {
    std::vector<BatteryFigures> packs;
    for (const NodeMetrics::PowerSupply& supply : metrics_.powerSupplies) {
        // A mouse's or a headset's battery is not the machine's.
        if (supply.type == "Battery" && supply.scope != "Device" && supply.present) {
            packs.push_back(supply.figures);
        }
    }
    return batteryStatusFrom(packs);
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
    keep(previous.disks, metrics_.disks.size());
    at = 0;
    for (const NodeMetrics::Disk& entry : metrics_.disks) {
        if (entry.readBytes && entry.writtenBytes) {
            previous.disks[at++] = {std::string(entry.name), *entry.readBytes, *entry.writtenBytes};
        }
    }
    previous.disks.resize(at);
}

} // namespace trovimo
