#include "panel/Sections.h"

#include "panel/BatterySection.h"
#include "panel/CPUSection.h"
#include "panel/DiskActivitySection.h"
#include "panel/DiskSection.h"
#include "panel/GPUSection.h"
#include "panel/MemorySection.h"
#include "panel/NetworkSection.h"
#include "panel/SelfSection.h"
#include "panel/SensorsSection.h"

#include <array>

namespace trovimo {
namespace {

constexpr std::array<SectionRow, blockCount - 1> rows{{
    {Block::cpu, &layoutCPUSection, &spokenCPUSection},
    {Block::gpu, &layoutGPUSection, &spokenGPUSection},
    {Block::memory, &layoutMemorySection, &spokenMemorySection},
    {Block::network, &layoutNetworkSection, &spokenNetworkSection},
    {Block::disk, &layoutDiskSection, &spokenDiskSection},
    {Block::sensors, &layoutSensorsSection, &spokenSensorsSection},
    {Block::battery, &layoutBatterySection, &spokenBatterySection},
    {Block::diskActivity, &layoutDiskActivitySection, &spokenDiskActivitySection},
    {Block::self, &layoutSelfSection, &spokenSelfSection},
}};

constexpr bool inTableOrder() {
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (blockIndex(rows[index].block) != index + 1) {
            return false;
        }
    }
    return true;
}
static_assert(inTableOrder(), "a section per block after the clock, in the block table's order");

} // namespace

std::span<const SectionRow> sectionTable() noexcept {
    return rows;
}

} // namespace trovimo
