#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>

// The panel's blocks, declared once. The settings window's switches, the stored keys and their
// defaults, the display settings, the sampling, the panel's sections, what a screen reader hears
// and trovimo-sample's fields all walk this table (the later layers through a row of their own
// keyed by `Block`), so a new block is a reader, a record, a section and one row in each.
namespace trovimo {

// Top to bottom as the panel shows them.
enum class Block : std::uint8_t {
    clock,
    cpu,
    gpu,
    memory,
    network,
    disk,
    sensors,
    battery,
    diskActivity,
    self,
};
inline constexpr std::size_t blockCount = 10; // one more than the last block's index

[[nodiscard]] constexpr std::size_t blockIndex(Block block) noexcept {
    return static_cast<std::size_t>(block);
}

// Some of the blocks: the shown ones, those asked for.
class BlockSet {
public:
    constexpr BlockSet() noexcept = default;
    constexpr BlockSet(std::initializer_list<Block> blocks) noexcept {
        for (const Block block : blocks) {
            insert(block);
        }
    }

    [[nodiscard]] static constexpr BlockSet all() noexcept {
        BlockSet blocks;
        blocks.bits_ = static_cast<std::uint16_t>((1U << blockCount) - 1);
        return blocks;
    }

    [[nodiscard]] constexpr bool contains(Block block) const noexcept {
        return (bits_ & bit(block)) != 0;
    }
    [[nodiscard]] constexpr bool empty() const noexcept { return bits_ == 0; }
    constexpr void insert(Block block) noexcept { bits_ |= bit(block); }
    constexpr void erase(Block block) noexcept { bits_ &= static_cast<std::uint16_t>(~bit(block)); }
    constexpr void set(Block block, bool in) noexcept { in ? insert(block) : erase(block); }

    friend constexpr bool operator==(BlockSet, BlockSet) noexcept = default;

private:
    static constexpr std::uint16_t bit(Block block) noexcept {
        return static_cast<std::uint16_t>(1U << blockIndex(block));
    }
    std::uint16_t bits_ = 0;
};

// A check box of the settings window and the boolean it stores.
struct BlockSwitch {
    const char* key;   // the settings key; scripts and stored files know it
    const char* label; // in the settings window
    bool byDefault;
};

struct BlockRow {
    Block block;
    BlockSwitch shown;
    // A switch below the block's own, indented and greyed out while the block is hidden: the
    // clock's year, the CPU's core bars.
    std::optional<BlockSwitch> detail;
};

// In the order of the panel and of the settings window.
inline constexpr std::array<BlockRow, blockCount> blockTable{{
    {Block::clock, {"showClock", "時刻", true}, BlockSwitch{"showClockYear", "年を表示", false}},
    {Block::cpu, {"showCPU", "CPU", true}, BlockSwitch{"showCoreBars", "コア別バー", true}},
    {Block::gpu, {"showGPU", "GPU", true}, std::nullopt},
    {Block::memory, {"showMemory", "メモリ", true}, std::nullopt},
    {Block::network, {"showNetwork", "ネットワーク", true}, std::nullopt},
    {Block::disk, {"showDisk", "ディスク", true}, std::nullopt},
    // Off unless asked for: temperatures and fans, the battery, the home disks' reads and writes.
    {Block::sensors, {"showSensors", "温度とファン", false}, std::nullopt},
    {Block::battery, {"showBattery", "バッテリー", false}, std::nullopt},
    {Block::diskActivity, {"showDiskActivity", "ディスクの読み書き", false}, std::nullopt},
    {Block::self, {"showSelf", "Trovimo 自身の負荷", false}, std::nullopt},
}};

[[nodiscard]] constexpr const BlockRow& blockRow(Block block) noexcept {
    return blockTable[blockIndex(block)];
}

// The settings key that shows `block`.
[[nodiscard]] constexpr const char* shownKey(Block block) noexcept {
    return blockRow(block).shown.key;
}

// The blocks whose switch (`detail`: whose detail switch) is on unless set otherwise.
[[nodiscard]] constexpr BlockSet shownByDefault(bool detail = false) noexcept {
    BlockSet blocks;
    for (const BlockRow& row : blockTable) {
        blocks.set(row.block, detail ? row.detail && row.detail->byDefault : row.shown.byDefault);
    }
    return blocks;
}

[[nodiscard]] constexpr bool rowsFollowTheBlocks() noexcept {
    for (std::size_t index = 0; index < blockTable.size(); ++index) {
        if (blockIndex(blockTable[index].block) != index) {
            return false;
        }
    }
    return true;
}
static_assert(rowsFollowTheBlocks(), "blockTable lists every block once, in Block's order");

} // namespace trovimo
