#include "remote/NodeMetricsPass.h"

#include <algorithm>
#include <array>
#include <limits>

namespace trovimo::nodemetrics {
namespace {

NodeMetrics::Interface* interfaceFor(Pass& pass, std::string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    auto* entry = entryFor<NodeMetrics::Interface, std::string_view>(
        pass.metrics.interfaces, pass.interfaceCursor, name,
        [](const NodeMetrics::Interface& each, const std::string_view& key) {
            return each.name == key;
        });
    if (entry != nullptr && entry->name.empty()) {
        entry->name = name;
    }
    return entry;
}

std::optional<std::int64_t> indexOf(double value) noexcept {
    const auto index = countOf(value);
    if (!index || *index > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*index);
}

} // namespace

void readNetwork(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    static constexpr std::array<std::string_view, 6> used = {
        "receive_bytes_total", "transmit_bytes_total", "up", "protocol_type", "iface_id",
        "iface_link"};
    if (std::find(used.begin(), used.end(), what) == used.end()) {
        return;
    }
    NodeMetrics::Interface* entry = interfaceFor(pass, labelOf(sample, "device"));
    if (entry == nullptr) {
        return;
    }
    const double value = sample.value;
    if (what == "receive_bytes_total") {
        setOnce(entry->rxBytes, countOf(value));
    } else if (what == "transmit_bytes_total") {
        setOnce(entry->txBytes, countOf(value));
    } else if (what == "up") {
        setOnce(entry->up, std::isfinite(value) ? std::optional<bool>(value == 1.0) : std::nullopt);
    } else if (what == "protocol_type") {
        const auto type = countOf(value);
        setOnce(entry->linkType,
                type && *type <= 0xffff ? std::optional<std::uint32_t>(*type) : std::nullopt);
    } else if (what == "iface_id") {
        setOnce(entry->index, indexOf(value));
    } else {
        setOnce(entry->link, indexOf(value));
    }
}

void readFilesystem(Pass& pass, std::string_view what, const ExpositionSample& sample) {
    const ExpositionLabel* mount = sample.label("mountpoint");
    if (mount == nullptr) {
        return;
    }
    std::optional<NodeMetrics::Filesystem>* target = nullptr;
    if (mount->valueIs("/")) {
        target = &pass.metrics.root;
    } else if (mount->valueIs("/home")) {
        target = &pass.metrics.home;
    } else {
        return;
    }
    const std::string_view device = labelOf(sample, "device");
    if (!*target) {
        target->emplace().device = device;
    } else if ((*target)->device != device) {
        return; // a second file system stacked on the same point: the first one listed counts
    }
    NodeMetrics::Filesystem& filesystem = **target;
    if (what == "size_bytes") {
        setOnce(filesystem.size, countOf(sample.value));
    } else if (what == "free_bytes") {
        setOnce(filesystem.free, countOf(sample.value));
    } else if (what == "avail_bytes") {
        setOnce(filesystem.available, countOf(sample.value));
    } else if (what == "device_error") {
        filesystem.deviceError = filesystem.deviceError || sample.value != 0.0;
    }
}

} // namespace trovimo::nodemetrics
