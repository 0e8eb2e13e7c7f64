#pragma once

#include "panel/CapacityLevel.h"
#include "panel/PanelLayout.h"

#include <QString>

#include <cstdint>
#include <string_view>

// Pieces the measurement sections share beyond the panel-wide conventions.
namespace trovimo::sections {

[[nodiscard]] inline QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The large figure of the CPU and GPU headers: title 3, rounded, semibold, even digits.
[[nodiscard]] FontSpec largeValueFont();
// Caption or caption 2 with digits of equal advance, for figures that change every tick.
[[nodiscard]] FontSpec captionDigitsFont();
[[nodiscard]] FontSpec caption2DigitsFont();
[[nodiscard]] FontSpec caption2Font();

// Colour of a text that carries a capacity level: primary while normal.
[[nodiscard]] ColorRole levelTextColor(CapacityLevel level) noexcept;

// A one-line text in `rect`, vertically centred in it.
[[nodiscard]] TextElement centredText(const Theme& theme, const QRectF& rect, QString text,
                                      const FontSpec& font, ColorRole color);

// A value text whose changed digits roll when `key` changes.
[[nodiscard]] TextElement animatedValue(QString text, const FontSpec& font, ColorRole color,
                                        const char* id, std::int64_t key);

// The empty capacity track that stands in for a breakdown without a sample.
void appendEmptyCapacityBar(SectionLayout& out, double y, double width);

} // namespace trovimo::sections
