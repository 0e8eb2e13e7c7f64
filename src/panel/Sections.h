#pragma once

#include "model/Blocks.h"
#include "panel/PanelLayout.h"

#include <span>

// The measurement sections. Each is a function in a file of its own (panel/<Name>Section.h)
// that lays its block out in its own coordinates, `width` wide; see PanelLayout.h for how the
// panel places them.
namespace trovimo {

using SectionFunction = SectionLayout (*)(const PanelInputs& inputs, const Theme& theme,
                                          double width);

// The panel's row of the block table.
struct SectionRow {
    Block block;
    SectionFunction layout;
};

// Every block but the clock (the panel's own), in the block table's order.
[[nodiscard]] std::span<const SectionRow> sectionTable() noexcept;

} // namespace trovimo
