#pragma once

#include "readers/BatteryReader.h"
#include "remote/NodeBlockReader.h"

#include <string_view>
#include <vector>

namespace trovimo {

// The battery from node_power_supply_* of every supply: the mains come in the same family, and
// which supply is a battery only the info series says, in the middle of it. The figures go
// back into the kernel's micro-units for the local battery reader's arithmetic.
class NodeBatteryReader final : public NodeBlockReader {
public:
    [[nodiscard]] Block block() const noexcept override { return Block::battery; }
    [[nodiscard]] std::span<const std::string_view> families() const noexcept override;
    void begin() override;
    void take(std::size_t family, std::string_view what, const ExpositionSample& sample) override;
    void write(const NodeBody& body, Figures& figures) override;

private:
    struct Supply {
        std::string_view name;
        std::string_view type;
        std::string_view scope;
        bool present = true;
        BatteryFigures figures;
    };
    std::vector<Supply> supplies_;
    std::vector<BatteryFigures> packs_; // reused
    std::size_t cursor_ = 0;
};

} // namespace trovimo
