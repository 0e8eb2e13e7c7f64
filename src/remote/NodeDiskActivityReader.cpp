#include "remote/NodeDiskActivityReader.h"

#include "readers/Counters.h"
#include "remote/NodeMetricsPass.h"

#include <array>

namespace trovimo {
namespace {

using namespace nodemetrics;

// "nvme0n1p2" -> "nvme0n1", "mmcblk0p1" -> "mmcblk0", "sda3" -> "sda".
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

std::span<const std::string_view> NodeDiskActivityReader::families() const noexcept {
    static constexpr std::array<std::string_view, 1> names = {"disk_"};
    return names;
}

void NodeDiskActivityReader::begin() {
    disks_.clear();
    cursor_ = 0;
}

void NodeDiskActivityReader::take(std::size_t /*family*/, std::string_view what,
                                  const ExpositionSample& sample) {
    const bool read = what == "read_bytes_total";
    const bool written = what == "written_bytes_total";
    const bool mapper = what == "device_mapper_info";
    const std::string_view name = labelOf(sample, "device");
    if ((!read && !written && !mapper) || name.empty()) {
        return;
    }
    Disk* entry = entryFor<Disk, std::string_view>(
        disks_, cursor_, name,
        [](const Disk& each, const std::string_view& key) { return each.name == key; });
    if (entry == nullptr) {
        return;
    }
    entry->name = name;
    if (read) {
        setOnce(entry->readBytes, countOf(sample.value));
    } else if (written) {
        setOnce(entry->writtenBytes, countOf(sample.value));
    } else if (entry->mapperName.empty()) {
        entry->mapperName = labelOf(sample, "name");
    }
}

const NodeDiskActivityReader::Disk*
NodeDiskActivityReader::diskOf(std::string_view device, std::string_view& shownName) const {
    if (!device.starts_with("/dev/")) {
        return nullptr; // ZFS, a network or an overlay file system: no disk of its own
    }
    device.remove_prefix(5);
    if (device.starts_with("mapper/")) {
        const std::string_view mapped = device.substr(7);
        const Disk* found = nullptr;
        for (const Disk& each : disks_) {
            if (!mapped.empty() && each.mapperName == mapped) {
                found = &each;
                shownName = mapped; // LUKS and LVM volumes by the name their tools give
            }
        }
        return found;
    }
    const Disk* found = findNamed(disks_, device);
    if (found == nullptr) {
        found = findNamed(disks_, diskOfPartition(device));
    }
    shownName = found != nullptr ? found->name : std::string_view();
    return found;
}

void NodeDiskActivityReader::write(const NodeBody& body, Figures& figures) {
    const auto& filesystem = body.metrics.homeVolume();
    std::string_view shownName;
    const Disk* disk = filesystem ? diskOf(filesystem->device, shownName) : nullptr;
    const Counters* counters = disk != nullptr ? findNamed(previous_, disk->name) : nullptr;
    if (counters != nullptr && disk->readBytes && disk->writtenBytes && body.elapsed &&
        *body.elapsed > 0.0 && isPlausibleName(shownName, 128)) {
        figures.diskActivity =
            DiskActivity{counterRate(counters->read, *disk->readBytes, *body.elapsed),
                         counterRate(counters->written, *disk->writtenBytes, *body.elapsed),
                         std::string(shownName)};
    }
    remember();
}

void NodeDiskActivityReader::remember() {
    // The strings keep their room from body to body as long as the list keeps its length.
    previous_.resize(disks_.size());
    std::size_t at = 0;
    for (const Disk& entry : disks_) {
        if (entry.readBytes && entry.writtenBytes) {
            previous_[at++] = {std::string(entry.name), *entry.readBytes, *entry.writtenBytes};
        }
    }
    previous_.resize(at);
}

} // namespace trovimo
