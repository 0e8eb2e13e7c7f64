#pragma once

#include "panel/CapacityLevel.h"
#include "panel/PanelElements.h"
#include "panel/Theme.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

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

// The dash a header shows in place of its large figure when there is none to show (a machine
// without the device, a reading that failed): quiet, not a made-up 0.
[[nodiscard]] TextElement largeValuePlaceholder();

// A value text whose changed digits roll when `key` changes.
[[nodiscard]] TextElement animatedValue(QString text, const FontSpec& font, ColorRole color,
                                        const char* id, std::int64_t key);

// What leads a rate row: an arrow (`arrow`) or a character (`label`, when there is no arrow),
// in a box `leadWidth` wide.
struct RateRowLead {
    std::optional<Symbol> arrow;
    QString label;
    double leadWidth = 0.0;
    ColorRole color = ColorRole::blue; // of the arrow and the history
    const char* animationId = "";
};
inline constexpr double rateArrowWidth = 10.0;

// Lead, rate text and one-minute history of one rate at `y`. Each history has its own scale,
// so a busy download does not flatten the upload graph. Returns the height.
double appendRateRow(SectionLayout& out, const Theme& theme, double y, double width,
                     const RateRowLead& lead, double rate, const std::vector<double>& history);

// The empty capacity track that stands in for a breakdown without a sample.
void appendEmptyCapacityBar(SectionLayout& out, double y, double width);

} // namespace trovimo::sections
