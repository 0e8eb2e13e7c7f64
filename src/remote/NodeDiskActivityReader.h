#pragma once

#include "remote/NodeBlockReader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trovimo {

// The reads and writes of the disk under /home (or /) from node_disk_{read,written}_bytes_total,
// against the body before. The file system's device names the disk: a partition's whole disk
// (the exporter counts whole disks only), a LUKS or LVM volume by its device-mapper name. A file
// system without a disk of its own (ZFS, NFS, an overlay) has no figure.
class NodeDiskActivityReader final : public NodeBlockReader {
public:
    [[nodiscard]] Block block() const noexcept override { return Block::diskActivity; }
    [[nodiscard]] std::span<const std::string_view> families() const noexcept override;
    void begin() override;
    void take(std::size_t family, std::string_view what, const ExpositionSample& sample) override;
    void write(const NodeBody& body, Figures& figures) override;
    void forget() override { previous_.clear(); }

private:
    struct Disk {
        std::string_view name;
        std::optional<std::uint64_t> readBytes;
        std::optional<std::uint64_t> writtenBytes;
        std::string_view mapperName; // node_disk_device_mapper_info's name of a dm-N device
    };
    struct Counters {
        std::string name;
        std::uint64_t read = 0;
        std::uint64_t written = 0;
    };
    [[nodiscard]] const Disk* diskOf(std::string_view device, std::string_view& shownName) const;
    void remember();

    std::vector<Disk> disks_;
    std::vector<Counters> previous_;
    std::size_t cursor_ = 0;
};

} // namespace trovimo
