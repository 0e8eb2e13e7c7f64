#pragma once

#include "model/Blocks.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

// The panel is computed, then drawn. `layoutPanel` turns everything the panel shows (the
// statistics snapshot, settings, update status, hover flag, the current time) into a flat
// list of drawable elements in panel coordinates (PanelElements.h); the view only draws that
// list. The measurement sections plug in through the section table (Sections.h).
namespace trovimo {

// What takes a place in the column: one of the blocks, or one of the notices around them (the
// line naming another machine, the update badge, the text for an empty panel).
enum class PanelNotice : std::uint8_t { updateBadge, emptyState, sourceLine };
using PanelBlock = std::variant<Block, PanelNotice>;

enum class PanelAction : std::uint8_t { openUpdatePage, openSettings, togglePin };

// A clickable area with its tooltip (empty: none).
struct HitRegion {
    QRectF rect;
    PanelAction action = PanelAction::openSettings;
    QString toolTip;
};

struct PanelLayoutResult {
    QSizeF size;                    // the whole panel, padding included
    std::vector<PanelBlock> blocks; // shown blocks, top to bottom
    // For each of `blocks`, its elements: [first, second) of `elements`.
    std::vector<std::pair<std::size_t, std::size_t>> blockElements;
    std::vector<PanelElement> elements;
    std::vector<HitRegion> hitRegions;
    // Index into `elements` of the clock's seconds bar, when the clock is shown.
    std::optional<std::size_t> secondsBar;
};

struct PanelMetrics {
    static constexpr double width = 190.0;
    static constexpr double padding = 12.0;
    static constexpr double columnWidth = width - 2 * padding;
    static constexpr double blockSpacing = 10.0;
    static constexpr double cornerRadius = 14.0;
    static constexpr double borderWidth = 1.0;
};

[[nodiscard]] PanelLayoutResult layoutPanel(const PanelInputs& inputs, const Theme& theme);

// The settings and pin controls at the top-right corner, drawn while the pointer is over the
// panel: where they are, what they do and their tooltips.
[[nodiscard]] std::array<HitRegion, 2> hoverControls(bool alwaysOnTop);

} // namespace trovimo
