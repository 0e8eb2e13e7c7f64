#pragma once

#include "panel/PanelElements.h"
#include "panel/Theme.h"

#include <QPointF>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

// The conventions every measurement section follows, so that they look alike: the label
// style, the header row and the legend.
namespace trovimo {

// Caption, medium weight, secondary colour.
[[nodiscard]] FontSpec sectionLabelFont();

// The section header row at `y`: `label` at the left, `value` (when given: its text, font,
// colour and animation are used, its box is computed) at the right edge, both on one
// baseline; the value is elided at its end when the row is too narrow. Returns the height.
// `labelFont` gives rows within a section the same arrangement in their own font.
double appendSectionHeader(SectionLayout& out, const Theme& theme, double y, double width,
                           const QString& label, std::optional<TextElement> value,
                           const FontSpec& labelFont = sectionLabelFont());

struct LegendEntry {
    QString label;
    std::int64_t bytes = 0;
    ColorRole color = ColorRole::blue;
};
// One legend item at `origin` (top-left), rowHeight high: a 5 x 5 dot and
// "<label> <formatBytesCompact(bytes)>", caption 2, secondary, monospaced digits.
// `scale` narrows the text's box; the text shrinks with it to 0.75, then is cut. Returns
// its width.
double appendLegendItem(SectionLayout& out, const Theme& theme, QPointF origin, double rowHeight,
                        const LegendEntry& entry, double scale = 1.0);
// A legend row at `y`: items 5 apart, shrunk together (to 0.75 at the most, then cut) when
// they do not fit `width`. Returns the height.
double appendLegendRow(SectionLayout& out, const Theme& theme, double y, double width,
                       std::span<const LegendEntry> entries);

} // namespace trovimo
