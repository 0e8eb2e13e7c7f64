#include "panel/Sections.h"

#include "panel/AnimationKey.h"
#include "panel/PercentFormat.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"

#include <algorithm>
#include <cmath>

namespace trovimo {
namespace {

constexpr double rowSpacing = 6.0;

} // namespace

SectionLayout layoutBatterySection(const PanelInputs& inputs, const Theme& theme, double width) {
    using namespace sections;
    const std::optional<BatteryStatus>& battery = inputs.stats.battery;
    SectionLayout out;

    std::optional<double> fraction;
    if (battery && battery->percent && std::isfinite(*battery->percent)) {
        fraction = std::clamp(*battery->percent / 100.0, 0.0, 1.0);
    }
    const CapacityLevel level = battery ? texts::batteryLevel(*battery) : CapacityLevel::normal;
    TextElement value;
    if (fraction) {
        const std::int64_t key = percentKey(*fraction, 0);
        value = animatedValue(QString::fromStdString(formatPercentKey(key, 0, userNumberLocale())),
                              largeValueFont(), levelTextColor(level), "battery.value", key);
    } else {
        // A desktop, no battery to speak of; or a charge the driver cannot tell.
        value = largeValuePlaceholder();
    }
    double y =
        appendSectionHeader(out, theme, 0.0, width, qtext(texts::batteryLabel), std::move(value));

    y += rowSpacing;
    out.elements.emplace_back(
        CapacityBarElement{QRectF(0.0, y, width, CapacityBar::height),
                           CapacityBar{fraction.value_or(0.0), level, fraction.has_value()}});
    y += CapacityBar::height;

    const std::string detail = battery ? texts::batteryDetailText(*battery) : std::string();
    if (!detail.empty()) {
        y += rowSpacing - 1.0;
        const FontSpec font = caption2DigitsFont();
        const double height = theme.lineHeight(font);
        TextElement line = centredText(theme, QRectF(0.0, y, width, height),
                                       QString::fromStdString(detail), font, ColorRole::secondary);
        line.minimumScale = 0.8;
        out.elements.emplace_back(std::move(line));
        y += height;
    }
    out.height = y;
    return out;
}

} // namespace trovimo
