#pragma once

#include "model/Blocks.h"
#include "panel/PanelElements.h"
#include "panel/PanelInputs.h"
#include "panel/Theme.h"

#include <QString>

#include <span>

// The measurement sections, one per block but the clock. Each is a function in a file of its
// own (panel/<Name>Section.h):
//
//     SectionLayout layoutCPUSection(const PanelInputs& in, const Theme& theme, double width);
//
// It reads `in.stats` and `in.settings`, and returns its elements in its own coordinates:
// origin at the section's top-left corner, x to the right, y down, `width` wide (the content
// column, 166), plus the section's total `height`. The panel places the section below the
// previous block (moving every element down), draws the divider above it and leaves 10
// between blocks. A section never draws outside [0, width] x [0, height]. The shared
// conventions (SectionConventions.h) keep the sections alike. Beside it, each file has what a
// screen reader hears of the section, its figures in words (spokenCPUSection; the words are
// SpokenTexts.h's).
namespace trovimo {

using SectionFunction = SectionLayout (*)(const PanelInputs& inputs, const Theme& theme,
                                          double width);

// What a screen reader hears of a section: its figures in words (SpokenTexts.h).
using SpokenFunction = QString (*)(const PanelInputs& inputs);

// The panel's row of the block table.
struct SectionRow {
    Block block;
    SectionFunction layout;
    SpokenFunction spoken;
};

// Every block but the clock (the panel's own), in the block table's order.
[[nodiscard]] std::span<const SectionRow> sectionTable() noexcept;

} // namespace trovimo
