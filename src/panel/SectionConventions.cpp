#include "panel/SectionConventions.h"

#include "panel/ValueFormatting.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

constexpr double rowSpacing = 8.0; // between the items of a row with default spacing

} // namespace

FontSpec sectionLabelFont() {
    return FontSpec{TextStyle::caption, QFont::Medium};
}

double appendSectionHeader(SectionLayout& out, const Theme& theme, double y, double width,
                           const QString& label, std::optional<TextElement> value,
                           const FontSpec& labelFont) {
    double baseline = theme.ascent(labelFont);
    double bottom = baseline + theme.descent(labelFont);
    if (value) {
        const double valueAscent = theme.ascent(value->font);
        baseline = std::max(baseline, valueAscent);
        bottom =
            std::max(baseline + theme.descent(labelFont), baseline + theme.descent(value->font));
    }
    const double labelWidth = std::min(width, std::ceil(theme.textWidth(label, labelFont)));
    TextElement labelText;
    labelText.rect = QRectF(0, y, labelWidth, bottom);
    labelText.baseline = y + baseline;
    labelText.text = label;
    labelText.font = labelFont;
    labelText.color = ColorRole::secondary;
    out.elements.push_back(std::move(labelText));
    if (value) {
        const double left = labelWidth + rowSpacing;
        value->rect = QRectF(left, y, std::max(0.0, width - left), bottom);
        value->baseline = y + baseline;
        value->alignment = Qt::AlignRight;
        out.elements.push_back(std::move(*value));
    }
    return bottom;
}

double appendLegendItem(SectionLayout& out, const Theme& theme, QPointF origin, double rowHeight,
                        const LegendEntry& entry, double scale) {
    constexpr double dot = 5.0;
    constexpr double spacing = 3.0;
    const FontSpec font{TextStyle::caption2, QFont::Normal, true};
    const QString text =
        entry.label + QLatin1Char(' ') + QString::fromStdString(formatBytesCompact(entry.bytes));
    const double textWidth = std::ceil(theme.textWidth(text, font)) * scale;
    out.elements.push_back(DotElement{
        QRectF(origin.x(), origin.y() + (rowHeight - dot) / 2.0, dot, dot), entry.color});
    TextElement label;
    label.rect = QRectF(origin.x() + dot + spacing, origin.y(), textWidth, rowHeight);
    const double lineHeight = theme.lineHeight(font);
    label.baseline = origin.y() + (rowHeight - lineHeight) / 2.0 + theme.ascent(font);
    label.text = text;
    label.font = font;
    label.color = ColorRole::secondary;
    label.minimumScale = 0.75;
    out.elements.push_back(std::move(label));
    return dot + spacing + textWidth;
}

double appendLegendRow(SectionLayout& out, const Theme& theme, double y, double width,
                       std::span<const LegendEntry> entries) {
    constexpr double spacing = 5.0;
    constexpr double dot = 5.0;
    constexpr double dotSpacing = 3.0;
    const FontSpec font{TextStyle::caption2, QFont::Normal, true};
    const double rowHeight = std::max(theme.lineHeight(font), dot);
    double textTotal = 0.0;
    double fixedTotal = 0.0;
    for (const LegendEntry& entry : entries) {
        const QString text = entry.label + QLatin1Char(' ') +
                             QString::fromStdString(formatBytesCompact(entry.bytes));
        textTotal += std::ceil(theme.textWidth(text, font));
        fixedTotal += dot + dotSpacing;
    }
    if (!entries.empty()) {
        fixedTotal += spacing * static_cast<double>(entries.size() - 1);
    }
    double scale = 1.0;
    // Below three quarters the texts stop shrinking (their minimum scale) and are cut
    // instead, so the row never reaches past the column.
    if (textTotal > 0.0 && fixedTotal + textTotal > width) {
        scale = std::max(0.0, (width - fixedTotal) / textTotal);
    }
    double x = 0.0;
    for (const LegendEntry& entry : entries) {
        x += appendLegendItem(out, theme, QPointF(x, y), rowHeight, entry, scale) + spacing;
    }
    return rowHeight;
}

} // namespace trovimo
